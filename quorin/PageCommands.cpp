#include "PageCommands.h"

#include "platform/Paths.h"
#include "shared/WriteLog.h"

namespace quorin {
namespace {

// Each field of the log command lands in a 260-byte buffer; longer fields are cut.
constexpr size_t kLogFieldCapacity = 259;

// The next strtok token: skips leading delimiters, ends before the next one.
std::string_view NextToken(std::string_view& rest) {
    const size_t start = rest.find_first_not_of('&');
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const size_t end = rest.find('&');
    std::string_view token = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    return token;
}

}  // namespace

bool SplitLogCommand(std::string_view text, LogCommand& out) {
    // The page's text ends at its first zero byte, as a C string would.
    text = text.substr(0, text.find('\0'));
    std::string_view rest = text;
    const std::string_view name = NextToken(rest);
    const std::string_view message = NextToken(rest);
    if (name.empty() || message.empty()) {
        return false;
    }
    out.name = std::string(name.substr(0, kLogFieldCapacity));
    out.text = std::string(message.substr(0, kLogFieldCapacity));
    return true;
}

bool IsSafeLogName(std::string_view name) {
    return !name.empty() && name.find_first_of("/\\:") == std::string_view::npos &&
           name.find("..") == std::string_view::npos && !platform::IsReservedDeviceName(name);
}

void PageCommands::OnJsMessage(uint32_t id, std::string_view text) {
    switch (id) {
        case JSCMD_CLOSE:
            confirmClose_ = false;
            host_.PostClose();
            break;
        case JSCMD_CONFIRM_CLOSE:
            confirmClose_ = true;
            break;
        case JSCMD_LOG: {
            LogCommand command;
            // A page must not reach files outside the log folder, nor choose a file's extension
            // by a name long enough to cut off ".txt".
            if (SplitLogCommand(text, command) && IsSafeLogName(command.name) &&
                LogFileNameFits(command.name.c_str())) {
                WriteLog(command.name.c_str(), "CQuorinDlg::OnJsMessage", 743, "%s",
                         command.text.c_str());
            }
            break;
        }
        case JSCMD_QUERY_PARAM:
            host_.CallPage(PAGEMSG_PARAM, std::to_string(launch_.GameParam));
            break;
        default:
            break;
    }
}

void PageCommands::SendVolumes() {
    const SoundOptions& options = settings_.Current();
    host_.CallPage(PAGEMSG_MUSIC_VOLUME,
                   options.MusicOpen ? std::to_string(options.MusicPos) : std::string("0"));
    host_.CallPage(PAGEMSG_EFFECT_VOLUME,
                   options.SoundOpen ? std::to_string(options.SoundPos) : std::string("0"));
}

bool PageCommands::OnCloseRequest() {
    if (!confirmClose_) {
        return true;
    }
    // A page that cannot be asked at all (its engine has gone) cannot answer: close as if the
    // flag were clear, or the player could never close the window.
    return !host_.CallPage(PAGEMSG_CLOSE_REQUEST, "0");
}

}  // namespace quorin
