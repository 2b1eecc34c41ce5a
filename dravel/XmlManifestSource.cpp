#include "XmlManifestSource.h"

#include <string_view>
#include <utility>
#include <vector>

#include "platform/Xml.h"

namespace dravel {

namespace {

ManifestAttribute AttributeOf(const platform::XmlElement& element, std::string_view name) {
    ManifestAttribute attribute;
    if (const std::string* value = element.Attribute(name)) {
        attribute.present = true;
        attribute.value = *value;
    }
    return attribute;
}

// The manifest's elements from a parsed document; status and errors are the caller's.
void ReadManifest(const platform::XmlElement& root, ManifestResponse& response) {
    const std::vector<const platform::XmlElement*> manifests =
        platform::SelectElements(root, "/Manifest");
    response.hasRoot = !manifests.empty();
    if (!response.hasRoot) {
        return;
    }
    response.version = AttributeOf(*manifests.front(), "version");
    for (const platform::XmlElement* file :
         platform::SelectElements(root, "/Manifest/FileList/File")) {
        ManifestFileEntry entry;
        entry.FileName = AttributeOf(*file, "FileName");
        entry.FileSize = AttributeOf(*file, "FileSize");
        entry.FileVersion = AttributeOf(*file, "FileVersion");
        entry.Md5 = AttributeOf(*file, "Md5");
        response.files.push_back(std::move(entry));
    }
}

}  // namespace

ManifestResponse XmlManifestSource::FetchManifest(const std::string& url) {
    const platform::ComScope com;
    platform::XmlDocument document = platform::FetchXml(url);
    ManifestResponse response;
    response.status = document.status;
    response.parseFailed = document.parseFailed;
    response.error = std::move(document.error);
    if (document.ok()) {
        ReadManifest(document.root, response);
    }
    return response;
}

}  // namespace dravel
