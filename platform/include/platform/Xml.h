// XML documents as the updater reads them: elements and their attributes only, every name and
// value converted to the ANSI code page (GBK) from whatever encoding the document declares.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

struct XmlElement {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;  // in document order
    std::vector<XmlElement> children;                             // child elements only

    // The value of the named attribute, or null when the element has none of that name.
    const std::string* Attribute(std::string_view attribute) const;
};

// The elements at an absolute path such as "/Manifest/FileList/File", in document order: the
// first step names the root element, each later step the child elements of that name.
std::vector<const XmlElement*> SelectElements(const XmlElement& root, std::string_view path);

struct XmlDocument {
    int status = 0;            // HTTP status of the fetch; 0 when no response arrived
    bool parseFailed = false;  // a response arrived but was no well-formed document
    std::string error;         // the system's text when no response arrived (ANSI)
    XmlElement root;           // valid when status is 200 and parseFailed is false

    bool ok() const { return status == 200 && !parseFailed; }
};

// Initialises COM for the calling thread for its lifetime where the platform's XML services
// need it (Windows, apartment threaded); elsewhere it does nothing.
class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    // True when this scope initialised COM (and so uninitialises it at its end).
    bool initialised() const { return initialised_; }

private:
    bool initialised_ = false;
};

// Parses a document from its bytes; the XML declaration (or a byte-order mark) decides the
// encoding. False, with `root` left empty, for a document that is not well-formed.
bool ParseXml(std::string_view bytes, XmlElement& root);

// Fetches a document with a synchronous GET and parses it. Only a 200 response is parsed.
// On Windows the caller's thread must have initialised COM (see ComScope).
XmlDocument FetchXml(const std::string& url);

}  // namespace platform
