#include "Manifest.h"

#include <optional>
#include <unordered_set>

#include "Digest.h"
#include "FileNames.h"
#include "platform/Ini.h"

namespace dravel {

namespace {

ManifestCheck Failed(ManifestCheck check, std::string why) {
    check.outcome = CheckOutcome::kFailed;
    check.totalBytes = 0;
    check.queued = 0;
    check.failure = std::move(why);
    return check;
}

// The name in one spelling for comparisons that ignore ASCII case, as Windows names do.
std::string FoldedName(const std::string& name) {
    return AsciiUpperCase(NativeFileName(name));
}

// An entry whose download would be staged in the file of another entry ("a" in "a.dtm"), which
// would cost that file; null when there is none.
const ManifestFileEntry* StagedOverAnother(const std::vector<ManifestFileEntry>& entries) {
    std::unordered_set<std::string> names;
    for (const ManifestFileEntry& entry : entries) {
        names.insert(FoldedName(entry.FileName.value));
    }
    for (const ManifestFileEntry& entry : entries) {
        if (names.count(FoldedName(entry.FileName.value + ".dtm")) != 0) {
            return &entry;
        }
    }
    return nullptr;
}

struct Decision {
    std::string name;
    std::string md5;
    std::uint32_t size = 0;
};

}  // namespace

bool ParseFileSize(std::string_view text, std::uint32_t& size) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFull) {
        return false;
    }
    size = static_cast<std::uint32_t>(value);
    return true;
}

ManifestCheck CheckManifest(IManifestSource& source, IUpdateFileSystem& files,
                            CDownloadMgr& manager, const std::string& manifestUrl,
                            const std::string& installedVersion, int mode,
                            const std::string& programFolder) {
    ManifestCheck check;
    const ManifestResponse response = source.FetchManifest(manifestUrl);
    if (response.status == 0) {
        return Failed(check, "no response: " + response.error);
    }
    if (response.status != 200) {
        return Failed(check, "HTTP status " + std::to_string(response.status));
    }
    if (response.parseFailed) {
        return Failed(check, "the response is no XML document");
    }
    if (!response.hasRoot) {
        return Failed(check, "no /Manifest element");
    }
    if (!response.version.present) {
        return Failed(check, "/Manifest has no version");
    }
    check.manifestVersion = response.version.value;
    if (installedVersion == check.manifestVersion && mode != UPDATE_MODE_VERIFY) {
        check.outcome = CheckOutcome::kCurrent;
        return check;
    }

    // Every entry is validated before anything is queued, so a bad entry late in the list
    // cannot leave earlier ones half decided.
    std::vector<Decision> queue;
    std::uint64_t total = 0;
    std::size_t number = 0;
    for (const ManifestFileEntry& entry : response.files) {
        ++number;
        const std::string where = "File " + std::to_string(number) + ": ";
        if (!entry.FileName.present || !entry.FileSize.present || !entry.FileVersion.present ||
            !entry.Md5.present) {
            return Failed(check, where + "an attribute is missing");
        }
        if (!IsSafeFileName(entry.FileName.value)) {
            return Failed(check, where + "unsafe FileName \"" + entry.FileName.value + "\"");
        }
        std::uint32_t size = 0;
        if (!ParseFileSize(entry.FileSize.value, size)) {
            return Failed(check, where + "FileSize \"" + entry.FileSize.value + "\"");
        }
        const std::string local =
            files.ExistingSpelling(JoinFolder(programFolder, NativeFileName(entry.FileName.value)));
        if (files.Exists(local)) {
            const std::optional<std::string> digest = Md5HexOfFile(local);
            if (!digest) {
                return Failed(check, where + "cannot read " + local);
            }
            if (SameDigest(*digest, entry.Md5.value)) {
                continue;
            }
        }
        total += size;
        queue.push_back({entry.FileName.value, entry.Md5.value, size});
    }
    if (const ManifestFileEntry* entry = StagedOverAnother(response.files)) {
        return Failed(check, "\"" + entry->FileName.value + "\" would be fetched into \"" +
                                 entry->FileName.value + ".dtm\"");
    }
    for (const Decision& decision : queue) {
        if (manager.AddTask(decision.name, decision.md5) == 0) {
            return Failed(check, "the download list refused \"" + decision.name + "\"");
        }
    }
    check.totalBytes = total;
    check.queued = queue.size();
    check.outcome = queue.empty() ? CheckOutcome::kCurrent : CheckOutcome::kQueued;
    return check;
}

std::string VersionToRecord(const ManifestCheck& check, bool allInstalled) {
    switch (check.outcome) {
        case CheckOutcome::kCurrent:
            return check.manifestVersion;
        case CheckOutcome::kQueued:
            return allInstalled ? check.manifestVersion : std::string();
        case CheckOutcome::kFailed:
            break;
    }
    return {};
}

bool ReadDownloadAddress(IUpdateFileSystem& files, const std::string& workingFolder,
                         std::string& address) {
    const std::string lobbyUrl = JoinFolder(workingFolder, "LobbyUrl.ini");
    address = platform::GetIniText("URL", "DownLoadsAddress", "", lobbyUrl.c_str());
    if (address.empty()) {
        return false;
    }
    const std::string lobbyUrlEx = JoinFolder(workingFolder, "LobbyUrlEx.ini");
    if (files.Exists(lobbyUrlEx)) {
        // The Ex file wins whenever it exists, even with an empty value.
        address = platform::GetIniText("URL", "DownLoadsAddress", "", lobbyUrlEx.c_str());
    }
    address += "Vorsel/";
    return true;
}

}  // namespace dravel
