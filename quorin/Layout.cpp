#include "Layout.h"

namespace quorin {

MainLayout ComputeMainLayout(int32_t w, int32_t h) {
    MainLayout layout;
    layout.browser = {kFrameWidth, kTitleStripHeight, w - 2 * kFrameWidth,
                      h - kTitleStripHeight - kFrameWidth};
    layout.close = {w - 27, 0, 27, 25};
    layout.minimise = {w - 54, 0, 27, 25};
    layout.settings = {w - 81, 0, 27, 25};
    layout.chat = {w - 162, 0, 72, 25};
    layout.mainPage = {w / 2 - 132, 6, 57, 17};
    layout.help = {w / 2 - 66, 6, 57, 17};
    layout.screenshot = {w / 2, 6, 57, 17};
    layout.sound = {w / 2 + 66, 6, 57, 17};
    return layout;
}

int32_t TitleX(int32_t windowWidth, int32_t titleWidth) {
    return (windowWidth - titleWidth) / 2 - 7;
}

bool IsDragPoint(int32_t y) {
    return y <= kTitleStripHeight;
}

std::array<FramePiece, 8> FramePieces(int32_t w, int32_t h, int32_t iw, int32_t ih) {
    const int32_t f = kFrameWidth;
    const int32_t t = kTitleStripHeight;
    return {{
        {{0, 0, f, t}, {0, 0, f, t}},
        {{0, h - f, f, f}, {0, ih - f, f, f}},
        {{w - f, 0, f, t}, {iw - f, 0, f, t}},
        {{w - f, h - f, f, f}, {iw - f, ih - f, f, f}},
        {{f, 0, w - 2 * f, t}, {f, 0, iw - 2 * f, t}},
        {{f, h - f, w - 2 * f, f}, {f, ih - f, iw - 2 * f, f}},
        {{0, t, f, h - t - f}, {0, t, f, ih - t - f}},
        {{w - f, t, f, h - t - f}, {iw - f, t, f, ih - t - f}},
    }};
}

}  // namespace quorin
