// Processes, the shell and the desktop on Windows.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "../../win32/ComPtr_win.h"
#include "platform/CodePage.h"
#include "platform/Shell.h"

namespace platform {

// Defined beside the image's bitmap (platform/win32/Image_win.cpp).
HBITMAP ImageBitmap(const Image& image);

namespace {

// The image's rows as straight (not premultiplied) BGRA, the form PNG stores.
bool StraightPixels(const Image& image, std::vector<Argb>& pixels) {
    DIBSECTION section{};
    HBITMAP bitmap = ImageBitmap(image);
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof(section), &section) != sizeof(section) ||
        section.dsBm.bmBits == nullptr) {
        return false;
    }
    GdiFlush();
    const auto* bits = static_cast<const Argb*>(section.dsBm.bmBits);
    const size_t count = static_cast<size_t>(image.Width()) * image.Height();
    pixels.assign(bits, bits + count);
    for (Argb& p : pixels) {
        const uint32_t a = AlphaOf(p);
        if (a == 0) {
            p = 0;
            continue;
        }
        auto straight = [a](uint8_t c) {
            return static_cast<uint8_t>(std::min<uint32_t>(255, (c * 255u + a / 2) / a));
        };
        p = MakeArgb(static_cast<uint8_t>(a), straight(RedOf(p)), straight(GreenOf(p)),
                     straight(BlueOf(p)));
    }
    return true;
}

bool EncodePng(const std::vector<Argb>& pixels, UINT width, UINT height, const std::wstring& path) {
    ComCallScope com;
    if (!com.Usable()) {
        return false;
    }
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.OutVoid()))) {
        return false;
    }
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.Out())) ||
        FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))) {
        return false;
    }
    ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache))) {
        return false;
    }
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> properties;
    if (FAILED(encoder->CreateNewFrame(frame.Out(), properties.Out())) ||
        FAILED(frame->Initialize(properties.get())) || FAILED(frame->SetSize(width, height))) {
        return false;
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(frame->SetPixelFormat(&format)) ||
        !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)) {
        return false;
    }
    const UINT stride = width * sizeof(Argb);
    return SUCCEEDED(
               frame->WritePixels(height, stride, static_cast<UINT>(pixels.size() * sizeof(Argb)),
                                  reinterpret_cast<BYTE*>(const_cast<Argb*>(pixels.data())))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// A kernel object name for any text. A backslash would make CreateMutexA fail, and then no
// lock at all would be held, so it is escaped (with '%' itself); other names stay as they are.
// Names beyond the system's limit are shortened to a prefix and a hash of the whole.
std::string MutexName(const std::string& text) {
    std::string name;
    for (const char c : text) {
        if (c == '\\') {
            name += "%5C";
        } else if (c == '%') {
            name += "%25";
        } else {
            name += c;
        }
    }
    constexpr size_t kLongest = MAX_PATH - 1;
    if (name.size() > kLongest) {
        uint64_t hash = 14695981039346656037ull;  // FNV-1a
        for (const char c : name) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        char tail[18];
        std::snprintf(tail, sizeof(tail), "#%016llx", static_cast<unsigned long long>(hash));
        name = name.substr(0, kLongest - 17) + tail;
    }
    return name;
}

}  // namespace

bool StartProcess(const std::string& commandLine) {
    if (commandLine.empty()) {
        return false;
    }
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        nullptr, nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool OpenWithShell(const std::string& address) {
    if (address.empty()) {
        return false;
    }
    HINSTANCE result =
        ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

std::string DesktopFolder() {
    char path[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path) !=
        S_OK) {
        return "";
    }
    std::string folder(path);
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder;
}

Image CaptureScreen(Rect area) {
    Image image;
    if (area.width <= 0 || area.height <= 0 || area.width > Image::kMaxSide ||
        area.height > Image::kMaxSide) {
        return image;
    }
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) {
        return image;
    }
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = area.width;
        info.bmiHeader.biHeight = -area.height;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC memory = CreateCompatibleDC(screen);
        if (bitmap != nullptr && bits != nullptr && memory != nullptr) {
            HGDIOBJ old = SelectObject(memory, bitmap);
            if (old != nullptr && old != HGDI_ERROR) {
                const bool copied = BitBlt(memory, 0, 0, area.width, area.height, screen, area.x,
                                           area.y, SRCCOPY | CAPTUREBLT) != FALSE;
                SelectObject(memory, old);
                GdiFlush();
                if (copied) {
                    // The screen is opaque; GDI leaves the alpha byte as it likes.
                    const size_t count = static_cast<size_t>(area.width) * area.height;
                    std::vector<Argb> pixels(static_cast<const Argb*>(bits),
                                             static_cast<const Argb*>(bits) + count);
                    for (Argb& p : pixels) {
                        p |= 0xFF000000u;
                    }
                    image.Assign(area.width, area.height, pixels.data());
                }
            }
        }
        if (memory != nullptr) {
            DeleteDC(memory);
        }
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
    }
    ReleaseDC(nullptr, screen);
    return image;
}

bool SavePng(const Image& image, const std::string& path) {
    std::vector<Argb> pixels;
    if (image.Empty() || path.empty() || !StraightPixels(image, pixels)) {
        return false;
    }
    const std::u16string wide = AnsiToUtf16(path);
    const std::wstring widePath(wide.begin(), wide.end());
    // Written beside its place first: a half-written file (a full disk) is no picture, and must
    // neither stay behind nor take the place of one that was there.
    const std::wstring staging = widePath + L".part";
    if (EncodePng(pixels, static_cast<UINT>(image.Width()), static_cast<UINT>(image.Height()),
                  staging) &&
        MoveFileExW(staging.c_str(), widePath.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) {
        return true;
    }
    DeleteFileW(staging.c_str());
    return false;
}

struct SingleInstanceLock::Native {
    explicit Native(HANDLE handle) : mutex(handle) {}
    ~Native() { CloseHandle(mutex); }
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;

    HANDLE mutex;
};

SingleInstanceLock::SingleInstanceLock(const std::string& name) {
    if (name.empty()) {
        return;  // an unnamed mutex would lock nothing
    }
    // Initially owned, as the updater has it; only the name's existence matters.
    HANDLE mutex = CreateMutexA(nullptr, TRUE, MutexName(name).c_str());
    if (mutex == nullptr) {
        return;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another holder made it first: ours would only keep theirs alive.
        CloseHandle(mutex);
        return;
    }
    native_ = std::make_unique<Native>(mutex);
    held_ = true;
}

SingleInstanceLock::~SingleInstanceLock() = default;

}  // namespace platform
