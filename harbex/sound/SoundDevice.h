// The seam between the wave player's rules (portable) and the platform's sound service: a device
// that makes static buffers, and the buffers themselves. One implementation per platform
// (DirectSound on Windows, SDL audio on Linux); tests put a fake behind the same interfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "harbex/DirectSound.h"

namespace harbex {

enum class SoundResult {
    kOk,
    kAllocated,   // the device is in use by someone else; worth trying again
    kNoDriver,    // no sound driver (yet); worth trying again
    kBufferLost,  // the buffer's memory was taken away; restore it and fill it again
    kFailed,      // anything else
};

class ISoundBuffer {
public:
    virtual ~ISoundBuffer() = default;
    // Locks the whole buffer for writing; the region is valid until Unlock.
    virtual SoundResult Lock(unsigned char** ppRegion, std::uint32_t* pdwBytes) = 0;
    virtual SoundResult Unlock(unsigned char* pRegion, std::uint32_t dwBytes) = 0;
    // Gets the memory of a lost buffer back (its contents must be written again).
    virtual SoundResult Restore() = 0;
    // Byte position of the next sample to play; the buffer's size means "at the end".
    virtual SoundResult SetCurrentPosition(std::uint32_t dwPosition) = 0;
    virtual SoundResult GetCurrentPosition(std::uint32_t* pdwPosition) = 0;
    virtual SoundResult Play(bool bLoop) = 0;
    // Stops without moving the play position.
    virtual SoundResult Stop() = 0;
};

class ISoundDevice {
public:
    virtual ~ISoundDevice() = default;
    // Binds the device to a top-level window (null: the program's main window).
    virtual SoundResult SetCooperativeLevel(void* hWnd) = 0;
    // A static buffer of dwBytes bytes in the given format.
    virtual SoundResult CreateSoundBuffer(const tagWaveFormat& format, std::uint32_t dwBytes,
                                          std::unique_ptr<ISoundBuffer>& buffer) = 0;
};

// Where players get their shared device from, and how they wait between attempts to open it.
struct SoundDeviceProvider {
    std::function<SoundResult(std::unique_ptr<ISoundDevice>&)> open;
    std::function<void(std::uint32_t milliseconds)> wait;
};

// The real one: the platform's default sound device and a real sleep.
SoundDeviceProvider PlatformSoundDeviceProvider();

// The one injection point of the player: replaces the process's provider and returns the
// previous one. Only tests call it, while no device is open.
SoundDeviceProvider SetSoundDeviceProvider(SoundDeviceProvider provider);

// Per platform (SoundDevice_win.cpp, SoundDevice_linux.cpp).
SoundResult OpenPlatformSoundDevice(std::unique_ptr<ISoundDevice>& device);
// A resource of type "WAVE" in the main program's module; false if there is none.
bool FindWaveResource(const char* pszName, const unsigned char*& pImage, std::size_t& nSize);
bool FindWaveResource(std::uint16_t wId, const unsigned char*& pImage, std::size_t& nSize);

// The chunk walk behind CDirectSound::GetWaveData, over exactly nSize bytes.
bool WalkWaveImage(const unsigned char* pImage, std::size_t nSize, tagWaveFormat& format,
                   const unsigned char*& pSamples, std::uint32_t& dwSize);

// The extent of an image given only by its start: 8 + the RIFF header's length, or 0 when the
// image does not start with "RIFF". Reads at most the first 8 bytes.
std::size_t RiffExtent(const unsigned char* pImage);

}  // namespace harbex
