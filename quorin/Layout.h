// Where everything of the main window sits, in client pixels.
#pragma once

#include <array>
#include <cstdint>

#include "platform/Image.h"

namespace quorin {

// The platform's rectangle, so layout results go straight to the canvas.
using Rect = platform::Rect;

// Height of the title strip: a press at this y or above drags the window.
inline constexpr int32_t kTitleStripHeight = 27;
inline constexpr int32_t kFrameWidth = 5;
inline constexpr int32_t kChatWidth = 236;

struct MainLayout {
    Rect browser;
    Rect close;
    Rect minimise;
    Rect settings;
    Rect chat;
    Rect mainPage;
    Rect help;
    Rect screenshot;
    Rect sound;
};

MainLayout ComputeMainLayout(int32_t width, int32_t height);

// The title picture is centred over the window, a little to the left.
int32_t TitleX(int32_t windowWidth, int32_t titleWidth);

bool IsDragPoint(int32_t y);

// One piece of the frame: a part of the skin picture stretched into a part of the window.
struct FramePiece {
    Rect destination;
    Rect source;
};

// The eight border pieces, for a window of width by height and a skin of iw by ih.
std::array<FramePiece, 8> FramePieces(int32_t width, int32_t height, int32_t iw, int32_t ih);

}  // namespace quorin
