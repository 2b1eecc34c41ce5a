// Plays one short RIFF WAVE sound: the samples are copied into one static sound buffer that can
// be played once or looping from any byte position, stopped and resumed. All players of a
// process share one sound device, opened by the first successful Create and closed when the
// last player is destroyed. Players belong to one thread (the user-interface thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "harbex/HarbexApi.h"

namespace harbex {
class ISoundDevice;
class ISoundBuffer;
}  // namespace harbex

// The format block of a wave image ("fmt " chunk), read field by field so that it never needs
// to be aligned or complete in the image.
struct tagWaveFormat {
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    // A 14-byte block (the oldest form) has no sample width; it is then worked out from the
    // block alignment and the channel count.
    std::uint16_t wBitsPerSample = 0;
    // Extension bytes after the 18-byte block: cut to what the chunk really holds; pExtra points
    // into the image (null when there are none).
    std::uint16_t cbSize = 0;
    const unsigned char* pExtra = nullptr;
};

class HARBEX_API CDirectSound {
public:
    // A native top-level window: an HWND on Windows, where the device's cooperation level is
    // set for it; unused elsewhere.
    using NativeWindow = void*;

    CDirectSound();
    virtual ~CDirectSound();

    // Two players would release one buffer and the player count would miss the copy.
    CDirectSound(const CDirectSound&) = delete;
    CDirectSound& operator=(const CDirectSound&) = delete;

    // Plays a resource of type "WAVE" of the program's main module (the executable, not this
    // library). Nonzero on success. Without resources (Linux) these always fail.
    int Create(const char* pszResourceName, NativeWindow hWnd = nullptr);
    // The same with a numeric resource id; only its low 16 bits count.
    int Create(unsigned int uResourceId, NativeWindow hWnd = nullptr);
    // Plays a RIFF WAVE image in memory. The image's RIFF header gives its extent: the caller
    // guarantees that 8 + the header's length bytes are readable (a well-formed image is
    // exactly that long). Nothing beyond that extent is read. The image is not copied for the
    // lost-buffer refill and must outlive the player.
    int Create(const void* pWaveImage, NativeWindow hWnd = nullptr);
    // The same for an image of known size; nothing beyond nImageSize bytes is read, however the
    // image describes itself.
    int Create(const void* pWaveImage, std::size_t nImageSize, NativeWindow hWnd = nullptr);

    // Switches the sound on or off; off also stops it. Returns this player.
    CDirectSound& EnableSound(int bEnable);
    int IsEnabled() const { return m_bEnabled; }
    // Device, buffer and samples are all there.
    int IsValid() const;

    // Plays from a byte position (a position past the end is the end), once or looping. Does
    // nothing on a player that is not valid or not enabled.
    void Play(std::uint32_t dwStartPosition = 0, int bLoop = 0);
    // Stops; the play position stays where it was. Works whether enabled or not.
    void Stop();
    void Pause();
    // Plays once from where the sound was stopped (a looping sound resumes as a single pass).
    void Continue();

protected:
    // Finds the format block and the samples in a wave image of nImageSize bytes. Nonzero when
    // both were found; the pointers point into the image.
    static int GetWaveData(const void* pWaveImage, std::size_t nImageSize, tagWaveFormat& format,
                           const unsigned char*& pSamples, std::uint32_t& dwSize);
    // Makes this player's static buffer of m_dwWaveSize bytes on the shared device.
    int CreateSoundBuffer(const tagWaveFormat& format);
    // Copies the samples into the whole buffer, restoring it first if it was lost.
    int SetSoundData(const void* pSamples, std::uint32_t dwSize);

    // Shared by all players: the device (owned by the players together; null when none is
    // open) and the number of live players.
    static harbex::ISoundDevice* m_lpDirectSound;
    static std::uint32_t m_dwInstances;

    const unsigned char* m_pWaveData = nullptr;
    std::uint32_t m_dwWaveSize = 0;
    std::unique_ptr<harbex::ISoundBuffer> m_lpDSBuffer;
    int m_bEnabled = 1;

private:
    int CreateFromImage(const unsigned char* pImage, std::size_t nImageSize, NativeWindow hWnd);
};
