// The sound device on Windows: DirectSound, and wave images from the program's resources.
// The order matters: each header needs the ones before it.
#include <windows.h>

#include <mmsystem.h>

#include <dsound.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "sound/SoundDevice.h"

namespace harbex {

namespace {

// Holds one counted reference of a COM object.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T** Receive() {
        Reset();
        return &m_p;
    }
    void Reset() {
        if (m_p != nullptr) {
            m_p->Release();
            m_p = nullptr;
        }
    }

private:
    T* m_p = nullptr;
};

SoundResult ResultOf(HRESULT hr) {
    if (SUCCEEDED(hr)) {
        return SoundResult::kOk;
    }
    switch (hr) {
        case DSERR_ALLOCATED:
            return SoundResult::kAllocated;
        case DSERR_NODRIVER:
            return SoundResult::kNoDriver;
        case DSERR_BUFFERLOST:
            return SoundResult::kBufferLost;
        default:
            return SoundResult::kFailed;
    }
}

BOOL CALLBACK PickMainWindow(HWND hWnd, LPARAM lParam) {
    if (IsWindowVisible(hWnd) && GetWindow(hWnd, GW_OWNER) == nullptr) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

// The calling (user-interface) thread's first visible top-level window; DirectSound needs some
// window, so the desktop stands in when the program has none.
HWND MainWindow() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), PickMainWindow, reinterpret_cast<LPARAM>(&found));
    return found != nullptr ? found : GetDesktopWindow();
}

class DirectSoundBuffer : public ISoundBuffer {
public:
    explicit DirectSoundBuffer(std::uint32_t dwBytes) : m_bytes(dwBytes) {}
    DirectSoundBuffer(const DirectSoundBuffer&) = delete;
    DirectSoundBuffer& operator=(const DirectSoundBuffer&) = delete;

    IDirectSoundBuffer** Receive() { return m_buffer.Receive(); }

    SoundResult Lock(unsigned char** ppRegion, std::uint32_t* pdwBytes) override {
        if (ppRegion == nullptr || pdwBytes == nullptr) {
            return SoundResult::kFailed;
        }
        void* region = nullptr;
        DWORD bytes = 0;
        m_second = nullptr;
        m_secondBytes = 0;
        const HRESULT hr =
            m_buffer->Lock(0, 0, &region, &bytes, &m_second, &m_secondBytes, DSBLOCK_ENTIREBUFFER);
        if (SUCCEEDED(hr)) {
            *ppRegion = static_cast<unsigned char*>(region);
            *pdwBytes = bytes;
        }
        return ResultOf(hr);
    }

    SoundResult Unlock(unsigned char* pRegion, std::uint32_t dwBytes) override {
        const HRESULT hr = m_buffer->Unlock(pRegion, dwBytes, m_second, m_secondBytes);
        m_second = nullptr;
        m_secondBytes = 0;
        return ResultOf(hr);
    }

    SoundResult Restore() override { return ResultOf(m_buffer->Restore()); }

    // DirectSound only takes positions inside the buffer; "at the end" is kept here, and a
    // single pass from there plays nothing (a looping one starts over).
    SoundResult SetCurrentPosition(std::uint32_t dwPosition) override {
        m_atEnd = dwPosition >= m_bytes;
        return ResultOf(m_buffer->SetCurrentPosition(m_atEnd ? 0 : dwPosition));
    }

    SoundResult GetCurrentPosition(std::uint32_t* pdwPosition) override {
        if (pdwPosition == nullptr) {
            return SoundResult::kFailed;
        }
        if (m_atEnd) {
            *pdwPosition = m_bytes;
            return SoundResult::kOk;
        }
        DWORD play = 0;
        DWORD write = 0;
        const HRESULT hr = m_buffer->GetCurrentPosition(&play, &write);
        if (SUCCEEDED(hr)) {
            *pdwPosition = play;
        }
        return ResultOf(hr);
    }

    SoundResult Play(bool bLoop) override {
        if (m_atEnd && !bLoop) {
            return ResultOf(m_buffer->Stop());
        }
        m_atEnd = false;
        return ResultOf(m_buffer->Play(0, 0, bLoop ? DSBPLAY_LOOPING : 0));
    }

    SoundResult Stop() override { return ResultOf(m_buffer->Stop()); }

private:
    ComRef<IDirectSoundBuffer> m_buffer;
    const std::uint32_t m_bytes;
    bool m_atEnd = false;
    void* m_second = nullptr;
    DWORD m_secondBytes = 0;
};

class DirectSoundDevice : public ISoundDevice {
public:
    DirectSoundDevice() = default;
    DirectSoundDevice(const DirectSoundDevice&) = delete;
    DirectSoundDevice& operator=(const DirectSoundDevice&) = delete;

    IDirectSound** Receive() { return m_device.Receive(); }

    SoundResult SetCooperativeLevel(void* hWnd) override {
        HWND window = hWnd != nullptr ? static_cast<HWND>(hWnd) : MainWindow();
        return ResultOf(m_device->SetCooperativeLevel(window, DSSCL_NORMAL));
    }

    SoundResult CreateSoundBuffer(const tagWaveFormat& format, std::uint32_t dwBytes,
                                  std::unique_ptr<ISoundBuffer>& buffer) override {
        // WAVEFORMATEX followed by the format's extension bytes, as DirectSound reads it.
        std::vector<unsigned char> block(sizeof(WAVEFORMATEX) + format.cbSize, 0);
        WAVEFORMATEX head{};
        head.wFormatTag = format.wFormatTag;
        head.nChannels = format.nChannels;
        head.nSamplesPerSec = format.nSamplesPerSec;
        head.nAvgBytesPerSec = format.nAvgBytesPerSec;
        head.nBlockAlign = format.nBlockAlign;
        head.wBitsPerSample = format.wBitsPerSample;
        head.cbSize = format.pExtra != nullptr ? format.cbSize : 0;
        std::memcpy(block.data(), &head, sizeof head);
        if (head.cbSize != 0) {
            std::memcpy(block.data() + sizeof head, format.pExtra, head.cbSize);
        }

        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_STATIC;
        desc.dwBufferBytes = dwBytes;
        desc.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(block.data());

        auto made = std::make_unique<DirectSoundBuffer>(dwBytes);
        const HRESULT hr = m_device->CreateSoundBuffer(&desc, made->Receive(), nullptr);
        if (FAILED(hr)) {
            return ResultOf(hr);
        }
        buffer = std::move(made);
        return SoundResult::kOk;
    }

private:
    ComRef<IDirectSound> m_device;
};

bool LockWaveResource(LPCSTR name, const unsigned char*& pImage, std::size_t& nSize) {
    // The program's module, not this library: the sounds belong to the program.
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, name, "WAVE");
    if (found == nullptr) {
        return false;
    }
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) {
        return false;
    }
    const void* image = LockResource(loaded);
    if (image == nullptr) {
        return false;
    }
    pImage = static_cast<const unsigned char*>(image);
    nSize = SizeofResource(module, found);
    return true;
}

}  // namespace

SoundResult OpenPlatformSoundDevice(std::unique_ptr<ISoundDevice>& device) {
    auto opened = std::make_unique<DirectSoundDevice>();
    const HRESULT hr = DirectSoundCreate(nullptr, opened->Receive(), nullptr);
    if (FAILED(hr)) {
        return ResultOf(hr);
    }
    device = std::move(opened);
    return SoundResult::kOk;
}

bool FindWaveResource(const char* pszName, const unsigned char*& pImage, std::size_t& nSize) {
    return LockWaveResource(pszName, pImage, nSize);
}

bool FindWaveResource(std::uint16_t wId, const unsigned char*& pImage, std::size_t& nSize) {
    return LockWaveResource(MAKEINTRESOURCEA(wId), pImage, nSize);
}

}  // namespace harbex
