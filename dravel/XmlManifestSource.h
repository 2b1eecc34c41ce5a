// The manifest request on the platform's XML services.
#pragma once

#include <string>

#include "Manifest.h"

namespace dravel {

class XmlManifestSource final : public IManifestSource {
public:
    // Each fetch holds COM for its own duration where the platform needs it (ComScope), so
    // any thread may ask.
    ManifestResponse FetchManifest(const std::string& url) override;
};

}  // namespace dravel
