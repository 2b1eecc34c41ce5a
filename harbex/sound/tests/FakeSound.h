// A scripted sound device for the player's tests, and helpers that build wave images.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "harbex/DirectSound.h"
#include "sound/SoundDevice.h"

namespace soundtest {

using harbex::SoundResult;

// What one fake buffer saw and holds; the test keeps it after the buffer is gone.
struct BufferState {
    tagWaveFormat format;
    std::vector<unsigned char> contents;
    std::uint32_t regionBytes = 0;  // what Lock hands out (the buffer size unless a test says)
    std::uint32_t position = 0;
    bool playing = false;
    bool looping = false;
    bool lost = false;  // Lock and Play answer "lost" until restored / filled
    bool alive = true;
    int locks = 0;
    int restores = 0;
    int fills = 0;
    std::vector<std::uint32_t> positionsSet;
    std::vector<bool> plays;  // looping flag of every Play call
    std::deque<SoundResult> lockResults;
    std::deque<SoundResult> playResults;
    SoundResult unlockResult = SoundResult::kOk;
};

// The scripted world behind the provider.
struct FakeAudio {
    std::deque<SoundResult> openResults;  // one per attempt; then kOk
    int openCalls = 0;
    int devicesOpened = 0;
    int devicesAlive = 0;
    std::vector<std::uint32_t> waits;
    std::vector<void*> cooperativeWindows;
    SoundResult cooperativeResult = SoundResult::kOk;
    SoundResult createBufferResult = SoundResult::kOk;
    int extraRegionBytes = 0;
    // Scripts for the buffers still to be made.
    std::deque<SoundResult> newBufferLockResults;
    SoundResult newBufferUnlockResult = SoundResult::kOk;
    std::vector<std::shared_ptr<BufferState>> buffers;
    // Which device (by opening number) each buffer was made on.
    std::vector<int> bufferDevice;

    std::uint32_t WaitedMs() const {
        std::uint32_t sum = 0;
        for (std::uint32_t w : waits) {
            sum += w;
        }
        return sum;
    }
};

// Puts a FakeAudio behind every player for the lifetime of the guard.
class FakeSoundScope {
public:
    FakeSoundScope();
    ~FakeSoundScope();
    FakeSoundScope(const FakeSoundScope&) = delete;
    FakeSoundScope& operator=(const FakeSoundScope&) = delete;
    FakeAudio& audio() { return *m_audio; }

private:
    std::shared_ptr<FakeAudio> m_audio;
    harbex::SoundDeviceProvider m_previous;
};

// Builds RIFF images chunk by chunk; lengths are written as given, bodies padded to even.
class WaveBuilder {
public:
    WaveBuilder& Chunk(const std::string& id, const std::vector<unsigned char>& body,
                       bool pad = true);
    // A chunk whose length field says more (or less) than its body.
    WaveBuilder& RawChunk(const std::string& id, std::uint32_t length,
                          const std::vector<unsigned char>& body);
    WaveBuilder& Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                        std::uint16_t bits, std::size_t bodySize = 16);
    WaveBuilder& Data(const std::vector<unsigned char>& samples) { return Chunk("data", samples); }
    // The whole image with the RIFF length covering everything (or the given length).
    std::vector<unsigned char> Build() const;
    std::vector<unsigned char> Build(std::uint32_t riffLength) const;

private:
    std::vector<unsigned char> m_chunks;
};

// 8-bit mono PCM at 8000 Hz with the given samples.
std::vector<unsigned char> MonoImage(const std::vector<unsigned char>& samples);

}  // namespace soundtest
