// The update manifest and the decision what to fetch: the manifest's version against the
// installed one, then every listed file against the file on disk by its MD5 digest.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "DownloadManager.h"
#include "UpdateFiles.h"

namespace dravel {

// The mode that checks the file list even when the versions are equal.
inline constexpr int UPDATE_MODE_VERIFY = 998;

// An attribute as the document holds it (GBK text), and whether it was there at all.
struct ManifestAttribute {
    bool present = false;
    std::string value;
};

// One /Manifest/FileList/File element.
struct ManifestFileEntry {
    ManifestAttribute FileName;
    ManifestAttribute FileSize;
    ManifestAttribute FileVersion;
    ManifestAttribute Md5;
};

// What the manifest request brought back.
struct ManifestResponse {
    int status = 0;            // HTTP status; 0 when no response arrived
    bool parseFailed = false;  // a response arrived but was no XML document
    bool hasRoot = false;      // "/Manifest" matched (the first match is read)
    ManifestAttribute version;
    std::vector<ManifestFileEntry> files;  // every "/Manifest/FileList/File", in order
    std::string error;                     // the system's text when no response arrived
};

// Fetches a manifest with a synchronous GET and reads the elements above from it.
class IManifestSource {
public:
    virtual ~IManifestSource() = default;
    virtual ManifestResponse FetchManifest(const std::string& url) = 0;
};

enum class CheckOutcome {
    kCurrent,  // nothing to fetch
    kQueued,   // at least one file queued on the download manager
    kFailed,   // the window shows "网络连接出错！"
};

struct ManifestCheck {
    CheckOutcome outcome = CheckOutcome::kFailed;
    std::string manifestVersion;   // the manifest's version, once it was read
    std::uint64_t totalBytes = 0;  // FileSize summed over the queued files
    std::size_t queued = 0;
    std::string failure;  // why the check failed, for the log

    // 1 when files were queued, else 0.
    int Result() const { return outcome == CheckOutcome::kQueued ? 1 : 0; }
};

// Compares the manifest behind `manifestUrl` with the installation under `programFolder`
// and queues what is missing or different on `manager`. Files are queued only when the whole
// manifest passed the check: a failed check queues nothing.
ManifestCheck CheckManifest(IManifestSource& source, IUpdateFileSystem& files,
                            CDownloadMgr& manager, const std::string& manifestUrl,
                            const std::string& installedVersion, int mode,
                            const std::string& programFolder);

// The version to record in version.ini when a run ends: the manifest's version when nothing
// was to fetch, or when every queued file was installed; otherwise the empty version, so the
// next run checks every file again.
std::string VersionToRecord(const ManifestCheck& check, bool allInstalled);

// A FileSize value: decimal digits only, fitting 32 bits unsigned.
bool ParseFileSize(std::string_view text, std::uint32_t& size);

// The download root from LobbyUrl.ini (or LobbyUrlEx.ini when that file exists) in
// `workingFolder`, with "Vorsel/" appended. False when LobbyUrl.ini gives no address.
bool ReadDownloadAddress(IUpdateFileSystem& files, const std::string& workingFolder,
                         std::string& address);

}  // namespace dravel
