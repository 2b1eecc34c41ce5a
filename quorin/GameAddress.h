// The game page's address, the window size and the logo, from the ini files beside the program.
#pragma once

#include <string>
#include <string_view>

#include "LaunchInfo.h"

namespace quorin {

// The sound settings that travel in the address, as the settings window read them.
struct SoundVolumes {
    int Background = 500;
    int Effect = 500;
};

// Characters that would break the query are percent-encoded; everything else stays as it is.
std::string EncodeQueryText(std::string_view text);

// Fills GameUrl (and, for a lobby game, Width and Height) for the record's launch mode.
// `workDir` is the working directory without a trailing separator; `commandTail` is the command
// line after the program name, which names the section of URL.ini for a named page.
void ComposeGameUrl(LaunchInfo& info, const std::string& workDir, const SoundVolumes& volumes,
                    const std::string& commandTail);

// The logo picture for the title strip.
std::string ChooseLogo(const std::string& workDir);

}  // namespace quorin
