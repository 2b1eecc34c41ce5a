// Texts and small helpers the game host's windows share.
#pragma once

#include <string>

#include "platform/Paths.h"
#include "platform/Window.h"

namespace quorin {

// The skin's paths are built with the platform's separator; their folder spellings are the
// program's own and resolve whatever their case (see platform::ResolvePathCase).
inline constexpr char kSkinSeparator = platform::kPathSeparator;

// The caption of the host's message boxes: the program's name.
inline constexpr const char* kProgramName = "Quorin";

// "系统消息"
inline constexpr const char* kSystemMessageCaption = "\xCF\xB5\xCD\xB3\xCF\xFB\xCF\xA2";

// "找不到%s文件" with the path.
std::string FormatNotFound(const std::string& path);

// An OK message box with the program's name as its caption.
void ShowProgramMessage(platform::Window* owner, const std::string& text);

}  // namespace quorin
