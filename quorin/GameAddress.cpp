#include "GameAddress.h"

#include <algorithm>
#include <cstdio>

#include "platform/Ini.h"
#include "platform/Paths.h"

namespace quorin {
namespace {

constexpr char kSep = platform::kPathSeparator;

// Local paths in ini files are written with backslashes; here they use the platform's separator.
std::string LocalPath(std::string path) {
    for (char& c : path) {
        if (c == '\\' || c == '/') {
            c = kSep;
        }
    }
    return path;
}

std::string IniPath(const std::string& workDir, const char* name) {
    return platform::JoinPath(workDir, name);
}

std::string Decimal(unsigned long long value) {
    return std::to_string(value);
}

// A window side as the ini gives it, kept to what a window can be: no system makes one wider
// than 32767 pixels, and the layout's sums must not overflow.
int32_t WindowSide(uint32_t configured) {
    return std::clamp(static_cast<int32_t>(configured), 1, 32767);
}

void ComposeLobbyGame(LaunchInfo& info, const std::string& workDir, const SoundVolumes& volumes) {
    const std::string options = IniPath(workDir, "SystemOption.ini");
    const int voice = platform::GetIniInt("PlaySound", "bPlay", 1, options.c_str()) != 0 ? 1 : 0;

    const std::string section = Decimal(info.KindID);
    const std::string games = IniPath(workDir, "FlashGame.ini");
    std::string page =
        platform::GetIniText(section.c_str(), "URL", "\\Wendrel\\index.html", games.c_str());
    info.Width =
        WindowSide(platform::GetIniInt(section.c_str(), "Width", kDefaultWidth, games.c_str()));
    info.Height =
        WindowSide(platform::GetIniInt(section.c_str(), "Height", kDefaultHeight, games.c_str()));

    // An address without a colon is a path below the working directory; one with a colon (a
    // scheme or a drive letter) is used as it stands.
    std::string url;
    if (page.find(':') == std::string::npos) {
        url = workDir + LocalPath(page);
    } else {
        url = page;
    }
    url += "?UserID=" + Decimal(info.UserID);
    url += "&Password=" + EncodeQueryText(info.Password);
    url += "&KindID=" + Decimal(info.KindID);
    url += "&ServerID=" + Decimal(info.ServerID);
    url += "&IP=" + EncodeQueryText(info.IP);
    url += "&Port=" + Decimal(info.Port);
    url += "&SystemVer=" + Decimal(info.SystemVer);
    url += "&ComputerID0=" + Decimal(info.ComputerID[0]);
    url += "&ComputerID1=" + Decimal(info.ComputerID[1]);
    url += "&ComputerID2=" + Decimal(info.ComputerID[2]);
    url += "&Voice=" + std::to_string(voice);
    url += "&VBackground=" + std::to_string(volumes.Background);
    url += "&VEffect=" + std::to_string(volumes.Effect);
    if (info.HasToken) {
        url += "&Token=" + EncodeQueryText(info.Token);
    }
    info.GameUrl = std::move(url);
}

}  // namespace

std::string EncodeQueryText(std::string_view text) {
    std::string encoded;
    encoded.reserve(text.size());
    for (char c : text) {
        if (c == '%' || c == '&' || c == '#' || c == '+' || c == ' ') {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
            encoded += escape;
        } else {
            encoded += c;
        }
    }
    return encoded;
}

void ComposeGameUrl(LaunchInfo& info, const std::string& workDir, const SoundVolumes& volumes,
                    const std::string& commandTail) {
    switch (info.LaunchMode) {
        case ELaunchMode::LobbyGame:
            ComposeLobbyGame(info, workDir, volumes);
            break;
        case ELaunchMode::NamedPage: {
            const std::string pages = IniPath(workDir, "URL.ini");
            info.GameUrl = workDir + LocalPath(platform::GetIniText(commandTail.c_str(), "URL", "",
                                                                    pages.c_str()));
            break;
        }
        case ELaunchMode::HelpPage:
            info.GameUrl = workDir + kSep + "help" + kSep + std::to_string(info.KindID) + ".html";
            break;
        case ELaunchMode::None:
            info.GameUrl.clear();
            break;
    }
}

std::string ChooseLogo(const std::string& workDir) {
    const std::string file = IniPath(workDir, "Tollimer.ini");
    const bool net = platform::GetIniInt("Tollimer", "Tollimer", 0, file.c_str()) == 2;
    return workDir + kSep + "res" + kSep + (net ? "GameLogoNet" : "GameLogo") + kSep +
           "LogoURL.png";
}

}  // namespace quorin
