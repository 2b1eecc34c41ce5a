// Processes, the shell and the desktop on Linux: GLib spawns and opens, GDK reads the screen,
// cairo writes PNG files, and an flock on a per-name file stands for the named lock.
#include <cairo.h>
#include <errno.h>
#include <fcntl.h>
#include <gdk/gdk.h>
#include <gio/gio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/CommandLineSplit.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/Window.h"

namespace platform {

// Defined beside the image's surface (platform/linux/Image_gtk.cpp).
cairo_surface_t* ImageSurface(const Image& image);

namespace {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// "scheme:" with a scheme of two or more letters, so "C:\..." and "/tmp/x" are not addresses.
bool LooksLikeAddress(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2 || !g_ascii_isalpha(text[0])) {
        return false;
    }
    for (size_t i = 1; i < colon; ++i) {
        const char c = text[i];
        if (!g_ascii_isalnum(c) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

bool StartProcess(const std::string& commandLine) {
    std::vector<std::string> arguments = SplitCommandLine(commandLine);
    if (arguments.empty() || arguments[0].empty()) {
        return false;
    }
    for (std::string& argument : arguments) {
        argument = AnsiToUtf8(argument);
    }
    GSpawnFlags flags = G_SPAWN_DEFAULT;
    std::string& program = arguments[0];
    if (program.find_first_of("/\\") == std::string::npos) {
        const std::string beside = JoinPath(ProgramFolder(), program);
        if (g_file_test(beside.c_str(), G_FILE_TEST_IS_EXECUTABLE) &&
            !g_file_test(beside.c_str(), G_FILE_TEST_IS_DIR)) {
            program = beside;
        } else {
            flags = G_SPAWN_SEARCH_PATH;
        }
    } else {
        program = ResolvePathCase(program);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    // Without DO_NOT_REAP_CHILD GLib starts the program through an intermediate child that it
    // waits for itself, so nothing is left to reap and nothing waits for the program. Descriptors
    // other than the standard three are closed in the child; the environment and the working
    // directory are ours.
    GError* error = nullptr;
    const gboolean started =
        g_spawn_async(nullptr, argv.data(), nullptr, flags, nullptr, nullptr, nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return started != FALSE;
}

bool OpenWithShell(const std::string& address) {
    if (address.empty()) {
        return false;
    }
    std::string uri;
    if (LooksLikeAddress(address)) {
        uri = AnsiToUtf8(address);
    } else {
        std::string path = ResolvePathCase(AnsiToUtf8(address));
        if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
            return false;
        }
        if (!g_path_is_absolute(path.c_str())) {
            path = JoinPath(CurrentFolder(), path);
        }
        gchar* fileUri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
        if (fileUri == nullptr) {
            return false;
        }
        uri = fileUri;
        g_free(fileUri);
    }
    GError* error = nullptr;
    const gboolean launched = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return launched != FALSE;
}

std::string DesktopFolder() {
    const gchar* special = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    std::string folder = special != nullptr ? special : "";
    if (!IsFolder(folder)) {
        const char* home = std::getenv("HOME");
        folder = home != nullptr && *home != '\0' ? JoinPath(home, "Desktop") : "";
        if (!IsFolder(folder)) {
            return {};
        }
    }
    return Utf8ToAnsi(WithoutTrailingSeparator(folder));
}

Image CaptureScreen(Rect area) {
    Image image;
    if (area.width <= 0 || area.height <= 0 || area.width > Image::kMaxSide ||
        area.height > Image::kMaxSide || !InitWindowing()) {
        return image;
    }
    GdkWindow* root = gdk_get_default_root_window();
    // What was drawn must have reached the server before it is read back.
    gdk_display_sync(gdk_window_get_display(root));
    const int64_t screenWidth = gdk_window_get_width(root);
    const int64_t screenHeight = gdk_window_get_height(root);
    // Only the part on the screen is read; the rest of the picture stays black.
    const int64_t left = std::max<int64_t>(area.x, 0);
    const int64_t top = std::max<int64_t>(area.y, 0);
    const int64_t right = std::min<int64_t>(int64_t{area.x} + area.width, screenWidth);
    const int64_t bottom = std::min<int64_t>(int64_t{area.y} + area.height, screenHeight);
    std::vector<Argb> pixels(static_cast<size_t>(area.width) * area.height, MakeRgb(0, 0, 0));
    if (left < right && top < bottom) {
        GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(
            root, static_cast<gint>(left), static_cast<gint>(top), static_cast<gint>(right - left),
            static_cast<gint>(bottom - top));
        if (pixbuf == nullptr) {
            return image;
        }
        const int channels = gdk_pixbuf_get_n_channels(pixbuf);
        const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf) != FALSE;
        const int width = gdk_pixbuf_get_width(pixbuf);
        const int height = gdk_pixbuf_get_height(pixbuf);
        const int rowstride = gdk_pixbuf_get_rowstride(pixbuf);
        const guchar* rows = gdk_pixbuf_read_pixels(pixbuf);
        if (gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 && channels == (alpha ? 4 : 3) &&
            width == right - left && height == bottom - top) {
            for (int y = 0; y < height; ++y) {
                const guchar* p = rows + static_cast<size_t>(y) * rowstride;
                Argb* out = pixels.data() + static_cast<size_t>(top - area.y + y) * area.width +
                            (left - area.x);
                for (int x = 0; x < width; ++x, p += channels) {
                    // The screen is opaque, whatever the pixbuf says about alpha.
                    out[x] = MakeRgb(p[0], p[1], p[2]);
                }
            }
            image.Assign(area.width, area.height, pixels.data());
        }
        g_object_unref(pixbuf);
        return image;
    }
    image.Assign(area.width, area.height, pixels.data());
    return image;
}

bool SavePng(const Image& image, const std::string& path) {
    cairo_surface_t* surface = ImageSurface(image);
    if (surface == nullptr || path.empty()) {
        return false;
    }
    // Named the way Image::Load looks files up, so a saved picture loads back. Written beside
    // its place first: a half-written file (a full disk) is no picture, and must neither stay
    // behind nor take the place of one that was there.
    const std::string file = AnsiToUtf8(path);
    const std::string staging = file + ".part";
    if (cairo_surface_write_to_png(surface, staging.c_str()) == CAIRO_STATUS_SUCCESS &&
        std::rename(staging.c_str(), file.c_str()) == 0) {
        return true;
    }
    std::remove(staging.c_str());
    return false;
}

struct SingleInstanceLock::Native {
    explicit Native(int descriptor) : fd(descriptor) {}
    ~Native() { close(fd); }
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;

    int fd;
};

namespace {

// The folder for lock files: the session's runtime folder, else one of our own in /tmp that
// must be a real folder of this user, so another user cannot plant it.
std::string LockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsFolder(runtime)) {
        return runtime;
    }
    const std::string folder = "/tmp/lobby-locks-" + std::to_string(getuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & 0022) != 0) {
        return {};
    }
    return folder;
}

// A file name for any text: its safe characters, shortened, plus a hash of the whole text so
// names that differ only in what was dropped stay apart.
std::string LockFileName(const std::string& name) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : name) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    std::string safe;
    for (unsigned char c : name) {
        if (safe.size() == 64) {
            break;
        }
        safe += g_ascii_isalnum(c) || c == '-' || c == '_' || c == '.' ? static_cast<char>(c) : '_';
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return "lobby-" + safe + "-" + hex + ".lock";
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(const std::string& name) {
    const std::string folder = LockFolder();
    if (folder.empty()) {
        return;
    }
    // A new open file description each time: flock then refuses a second lock in this process
    // as it does in any other. The lock goes with the descriptor, so also when the process dies.
    const std::string path = JoinPath(folder, LockFileName(name));
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return;
    }
    auto native = std::make_unique<Native>(fd);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return;
    }
    native_ = std::move(native);
    held_ = true;
}

SingleInstanceLock::~SingleInstanceLock() = default;

}  // namespace platform
