// The BMP files of assets/dravel, compiled into the Linux program (the build writes the
// definitions from the files; Windows has them as resources instead).
#pragma once

#include <cstddef>
#include <cstdint>

namespace dravel::app {

struct EmbeddedPicture {
    int id;
    const uint8_t* data;
    std::size_t size;
};

extern const EmbeddedPicture kEmbeddedPictures[];
extern const std::size_t kEmbeddedPictureCount;

}  // namespace dravel::app
