#include "fileinfo/VersionService.h"

namespace harbex::fileinfo {

// No version service on this platform: the file's resources are read directly.
const VersionService& PlatformVersionService() { return PortableVersionService(); }

}  // namespace harbex::fileinfo
