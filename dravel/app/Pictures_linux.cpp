#include "EmbeddedPictures.h"
#include "Pictures.h"

namespace dravel::app {

platform::Image LoadPicture(int id) {
    for (std::size_t i = 0; i < kEmbeddedPictureCount; ++i) {
        if (kEmbeddedPictures[i].id == id) {
            return DecodeBmp(kEmbeddedPictures[i].data, kEmbeddedPictures[i].size);
        }
    }
    return {};
}

}  // namespace dravel::app
