// The wave player's rules, over whatever sound device the platform provides.
#include "harbex/DirectSound.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "sound/SoundDevice.h"

using harbex::SoundResult;

harbex::ISoundDevice* CDirectSound::m_lpDirectSound = nullptr;
std::uint32_t CDirectSound::m_dwInstances = 0;

namespace harbex {

namespace {

// A busy or missing device gets this many attempts, this far apart.
constexpr int kOpenAttempts = 10;
constexpr std::uint32_t kRetryWaitMs = 500;

SoundDeviceProvider& CurrentProvider() {
    static SoundDeviceProvider provider = PlatformSoundDeviceProvider();
    return provider;
}

}  // namespace

SoundDeviceProvider PlatformSoundDeviceProvider() {
    SoundDeviceProvider provider;
    provider.open = [](std::unique_ptr<ISoundDevice>& device) {
        return OpenPlatformSoundDevice(device);
    };
    provider.wait = [](std::uint32_t milliseconds) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    };
    return provider;
}

SoundDeviceProvider SetSoundDeviceProvider(SoundDeviceProvider provider) {
    std::swap(CurrentProvider(), provider);
    return provider;
}

namespace {

// Opens the default device, waiting and trying again while it is busy or has no driver.
std::unique_ptr<ISoundDevice> OpenDevice() {
    const SoundDeviceProvider& provider = CurrentProvider();
    if (!provider.open) {
        return nullptr;
    }
    for (int attempt = 1;; ++attempt) {
        std::unique_ptr<ISoundDevice> device;
        const SoundResult result = provider.open(device);
        if (result == SoundResult::kOk && device) {
            return device;
        }
        const bool transient =
            result == SoundResult::kAllocated || result == SoundResult::kNoDriver;
        if (!transient || attempt == kOpenAttempts) {
            return nullptr;
        }
        if (provider.wait) {
            provider.wait(kRetryWaitMs);
        }
    }
}

}  // namespace

}  // namespace harbex

CDirectSound::CDirectSound() {
    ++m_dwInstances;
}

CDirectSound::~CDirectSound() {
    m_lpDSBuffer.reset();
    --m_dwInstances;
    if (m_dwInstances == 0 && m_lpDirectSound != nullptr) {
        // The players own the device together; the last one closes it.
        delete std::exchange(m_lpDirectSound, nullptr);
    }
}

int CDirectSound::Create(const char* pszResourceName, NativeWindow hWnd) {
    const unsigned char* image = nullptr;
    std::size_t size = 0;
    if (pszResourceName == nullptr || !harbex::FindWaveResource(pszResourceName, image, size)) {
        return 0;
    }
    return CreateFromImage(image, size, hWnd);
}

int CDirectSound::Create(unsigned int uResourceId, NativeWindow hWnd) {
    const unsigned char* image = nullptr;
    std::size_t size = 0;
    if (!harbex::FindWaveResource(static_cast<std::uint16_t>(uResourceId & 0xFFFFu), image, size)) {
        return 0;
    }
    return CreateFromImage(image, size, hWnd);
}

int CDirectSound::Create(const void* pWaveImage, NativeWindow hWnd) {
    const auto* image = static_cast<const unsigned char*>(pWaveImage);
    return CreateFromImage(image, harbex::RiffExtent(image), hWnd);
}

int CDirectSound::Create(const void* pWaveImage, std::size_t nImageSize, NativeWindow hWnd) {
    return CreateFromImage(static_cast<const unsigned char*>(pWaveImage), nImageSize, hWnd);
}

int CDirectSound::CreateFromImage(const unsigned char* pImage, std::size_t nImageSize,
                                  NativeWindow hWnd) {
    try {
        // A second Create starts afresh: the earlier sound is given up first.
        m_lpDSBuffer.reset();
        m_pWaveData = nullptr;
        m_dwWaveSize = 0;

        if (m_lpDirectSound == nullptr) {
            std::unique_ptr<harbex::ISoundDevice> device = harbex::OpenDevice();
            if (!device) {
                return 0;
            }
            // Without cooperation the device may still play; its answer does not matter.
            device->SetCooperativeLevel(hWnd);
            m_lpDirectSound = device.release();
        }

        tagWaveFormat format;
        if (!GetWaveData(pImage, nImageSize, format, m_pWaveData, m_dwWaveSize)) {
            return 0;
        }
        if (!CreateSoundBuffer(format)) {
            return 0;
        }
        if (!SetSoundData(m_pWaveData, m_dwWaveSize)) {
            // An unfilled buffer would play whatever it holds: the player stays not valid.
            m_lpDSBuffer.reset();
            return 0;
        }
        return 1;
    } catch (...) {
        // Out of memory inside a device: the player just stays not valid.
        return 0;
    }
}

int CDirectSound::GetWaveData(const void* pWaveImage, std::size_t nImageSize, tagWaveFormat& format,
                              const unsigned char*& pSamples, std::uint32_t& dwSize) {
    return harbex::WalkWaveImage(static_cast<const unsigned char*>(pWaveImage), nImageSize, format,
                                 pSamples, dwSize)
               ? 1
               : 0;
}

int CDirectSound::CreateSoundBuffer(const tagWaveFormat& format) {
    m_lpDSBuffer.reset();
    // An empty sound needs no buffer and could never be valid.
    if (m_lpDirectSound == nullptr || m_dwWaveSize == 0) {
        return 0;
    }
    std::unique_ptr<harbex::ISoundBuffer> buffer;
    if (m_lpDirectSound->CreateSoundBuffer(format, m_dwWaveSize, buffer) != SoundResult::kOk ||
        !buffer) {
        return 0;
    }
    m_lpDSBuffer = std::move(buffer);
    return 1;
}

int CDirectSound::SetSoundData(const void* pSamples, std::uint32_t dwSize) {
    if (!m_lpDSBuffer) {
        return 0;
    }
    unsigned char* region = nullptr;
    std::uint32_t regionBytes = 0;
    SoundResult result = m_lpDSBuffer->Lock(&region, &regionBytes);
    if (result == SoundResult::kBufferLost) {
        m_lpDSBuffer->Restore();
        result = m_lpDSBuffer->Lock(&region, &regionBytes);
    }
    if (result != SoundResult::kOk) {
        return 0;
    }
    if (region != nullptr) {
        // The region should be exactly the samples' size; if the device made it larger, the
        // rest is silence rather than whatever lies after the samples.
        const std::uint32_t copied = pSamples != nullptr ? std::min(regionBytes, dwSize) : 0;
        if (copied != 0) {
            std::memcpy(region, pSamples, copied);
        }
        std::memset(region + copied, 0, regionBytes - copied);
    }
    return m_lpDSBuffer->Unlock(region, regionBytes) == SoundResult::kOk ? 1 : 0;
}

CDirectSound& CDirectSound::EnableSound(int bEnable) {
    m_bEnabled = bEnable;
    if (!bEnable) {
        Stop();
    }
    return *this;
}

int CDirectSound::IsValid() const {
    return m_lpDirectSound != nullptr && m_lpDSBuffer && m_pWaveData != nullptr && m_dwWaveSize != 0
               ? 1
               : 0;
}

void CDirectSound::Play(std::uint32_t dwStartPosition, int bLoop) {
    if (!IsValid() || !m_bEnabled) {
        return;
    }
    const bool loop = bLoop != 0;
    m_lpDSBuffer->SetCurrentPosition(std::min(dwStartPosition, m_dwWaveSize));
    if (m_lpDSBuffer->Play(loop) == SoundResult::kBufferLost) {
        SetSoundData(m_pWaveData, m_dwWaveSize);
        m_lpDSBuffer->Play(loop);
    }
}

void CDirectSound::Stop() {
    if (IsValid()) {
        m_lpDSBuffer->Stop();
    }
}

void CDirectSound::Pause() {
    Stop();
}

void CDirectSound::Continue() {
    if (!IsValid()) {
        return;
    }
    std::uint32_t position = 0;
    if (m_lpDSBuffer->GetCurrentPosition(&position) == SoundResult::kOk) {
        Play(position, 0);
    }
}
