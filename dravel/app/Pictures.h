// The updater's pictures, built into the program: BITMAP resources of Dravel.rc on Windows,
// the same BMP files compiled in as bytes on Linux.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/Image.h"

namespace dravel::app {

// The picture with resource id `id`; empty when there is none or it cannot be decoded.
platform::Image LoadPicture(int id);

// Decodes an uncompressed 24- or 32-bit BMP: a whole file (starting with "BM") or, as a
// BITMAP resource holds it, the info header and pixels without the file header. Rows may run
// bottom-up or top-down. Anything else, or data shorter than the header promises, gives an
// empty image.
platform::Image DecodeBmp(const uint8_t* data, std::size_t size);

}  // namespace dravel::app
