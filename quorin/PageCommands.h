// The numbered messages between the game page and the host: commands from the page through
// window.external, notices to the page's MessageProxy function, and the close handshake.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "LaunchInfo.h"
#include "SoundSettings.h"

namespace quorin {

enum PageCommand : uint32_t {
    JSCMD_CLOSE = 2,
    JSCMD_CONFIRM_CLOSE = 6,
    JSCMD_LOG = 7,
    JSCMD_QUERY_PARAM = 8,
};

enum PageNotice : int32_t {
    PAGEMSG_SOUND = 1,
    PAGEMSG_CLOSE_REQUEST = 3,
    PAGEMSG_MUSIC_VOLUME = 4,
    PAGEMSG_EFFECT_VOLUME = 5,
    PAGEMSG_PARAM = 7,
};

// What the main window does for the page commands.
class IPageHost {
public:
    virtual ~IPageHost() = default;
    // Calls the page's MessageProxy with "<id>,<text>"; silently lost when the page has none.
    // False only when the page could not be asked at all (no browser, or its engine has gone).
    virtual bool CallPage(int32_t id, const std::string& text) = 0;
    // Posts the main window its close message.
    virtual void PostClose() = 0;
};

// The log name and text of a log command, split as the runtime's strtok splits on '&'.
struct LogCommand {
    std::string name;
    std::string text;
};

// Splits "<name>&<text>"; empty when there is no second field.
bool SplitLogCommand(std::string_view text, LogCommand& out);

// A log name may only name a file inside the log folder.
bool IsSafeLogName(std::string_view name);

class PageCommands {
public:
    PageCommands(IPageHost& host, const LaunchInfo& launch, const SoundSettings& settings)
        : host_(host), launch_(launch), settings_(settings) {}

    // A command from the page: the id before the first comma and the text after it.
    void OnJsMessage(uint32_t id, std::string_view text);

    // Notice 1: the sound was switched on or off.
    void NotifySound(bool on) { host_.CallPage(PAGEMSG_SOUND, on ? "1" : "0"); }

    // Notice 4 with the music volume, then notice 5 with the effect volume ("0" when off).
    void SendVolumes();

    // The user asked to close. True when the window closes now; false when the page was asked
    // (notice 3) because it wants to confirm closing.
    bool OnCloseRequest();

    bool ConfirmClose() const { return confirmClose_; }

private:
    IPageHost& host_;
    const LaunchInfo& launch_;
    const SoundSettings& settings_;
    bool confirmClose_ = false;
};

}  // namespace quorin
