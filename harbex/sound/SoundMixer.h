// A software mixer of static sound buffers, for platforms whose audio service only offers a
// stream to fill (SDL on Linux). The audio thread calls Mix while the players' thread fills,
// starts and stops buffers; one lock guards what they share.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "sound/SoundDevice.h"

namespace harbex {

class SoundMixer : public std::enable_shared_from_this<SoundMixer> {
public:
    // Output: interleaved stereo, signed 16-bit, native byte order.
    static constexpr int kOutputChannels = 2;

    // The mixer must be owned by a shared_ptr: its buffers keep it alive.
    static std::shared_ptr<SoundMixer> Make(std::uint32_t dwOutputRate);

    // A static buffer of dwBytes bytes. PCM of 8, 16, 24 or 32 bits and 32-bit float, any
    // channel count (the first two are played), any rate; kFailed for anything else.
    SoundResult CreateBuffer(const tagWaveFormat& format, std::uint32_t dwBytes,
                             std::unique_ptr<ISoundBuffer>& buffer);

    // Writes nFrames output frames: the sum of the playing buffers, or silence.
    void Mix(std::int16_t* pOut, std::size_t nFrames) noexcept;

    std::uint32_t OutputRate() const { return m_dwOutputRate; }

    // True while any buffer plays.
    bool AnyPlaying();
    // True when a buffer was mixed since the last call, or plays now.
    bool PlayedSinceAsked();

    // Called on the players' thread whenever a buffer starts to play, outside the mixer's lock;
    // null for none. False from it means the sound cannot be heard now: the buffer does not
    // play, and its Play says kAllocated. Once this returns, the previous listener is no longer
    // running.
    void SetPlayListener(std::function<bool()> listener);

private:
    struct Voice;
    class Buffer;

    explicit SoundMixer(std::uint32_t dwOutputRate) : m_dwOutputRate(dwOutputRate) {}
    bool NotePlaying();

    const std::uint32_t m_dwOutputRate;
    std::mutex m_lock;
    std::vector<Voice*> m_voices;          // guarded by m_lock, as is everything a Voice holds
    std::mutex m_listenerLock;             // held while the listener runs
    std::function<bool()> m_playListener;  // guarded by m_listenerLock
    std::atomic<bool> m_mixedSinceAsked{false};
};

}  // namespace harbex
