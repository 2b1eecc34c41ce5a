#include "FakeSound.h"

#include <utility>

namespace soundtest {

namespace {

class FakeBuffer : public harbex::ISoundBuffer {
public:
    explicit FakeBuffer(std::shared_ptr<BufferState> state) : m_state(std::move(state)) {}
    ~FakeBuffer() override { m_state->alive = false; }

    SoundResult Lock(unsigned char** ppRegion, std::uint32_t* pdwBytes) override {
        ++m_state->locks;
        if (!m_state->lockResults.empty()) {
            const SoundResult scripted = m_state->lockResults.front();
            m_state->lockResults.pop_front();
            if (scripted != SoundResult::kOk) {
                return scripted;
            }
        }
        if (m_state->lost) {
            return SoundResult::kBufferLost;
        }
        m_state->contents.resize(m_state->regionBytes);
        *ppRegion = m_state->contents.data();
        *pdwBytes = m_state->regionBytes;
        return SoundResult::kOk;
    }

    SoundResult Unlock(unsigned char* pRegion, std::uint32_t dwBytes) override {
        if (pRegion != m_state->contents.data() || dwBytes != m_state->regionBytes) {
            return SoundResult::kFailed;
        }
        if (m_state->unlockResult == SoundResult::kOk) {
            ++m_state->fills;
        }
        return m_state->unlockResult;
    }

    SoundResult Restore() override {
        ++m_state->restores;
        m_state->lost = false;
        return SoundResult::kOk;
    }

    SoundResult SetCurrentPosition(std::uint32_t dwPosition) override {
        m_state->positionsSet.push_back(dwPosition);
        m_state->position = dwPosition;
        return SoundResult::kOk;
    }

    SoundResult GetCurrentPosition(std::uint32_t* pdwPosition) override {
        *pdwPosition = m_state->position;
        return SoundResult::kOk;
    }

    SoundResult Play(bool bLoop) override {
        m_state->plays.push_back(bLoop);
        if (!m_state->playResults.empty()) {
            const SoundResult scripted = m_state->playResults.front();
            m_state->playResults.pop_front();
            if (scripted != SoundResult::kOk) {
                return scripted;
            }
        }
        if (m_state->lost) {
            return SoundResult::kBufferLost;
        }
        m_state->playing = true;
        m_state->looping = bLoop;
        return SoundResult::kOk;
    }

    SoundResult Stop() override {
        m_state->playing = false;
        return SoundResult::kOk;
    }

private:
    std::shared_ptr<BufferState> m_state;
};

class FakeDevice : public harbex::ISoundDevice {
public:
    FakeDevice(std::shared_ptr<FakeAudio> audio, int number)
        : m_audio(std::move(audio)), m_number(number) {
        ++m_audio->devicesAlive;
    }
    ~FakeDevice() override { --m_audio->devicesAlive; }

    SoundResult SetCooperativeLevel(void* hWnd) override {
        m_audio->cooperativeWindows.push_back(hWnd);
        return m_audio->cooperativeResult;
    }

    SoundResult CreateSoundBuffer(const tagWaveFormat& format, std::uint32_t dwBytes,
                                  std::unique_ptr<harbex::ISoundBuffer>& buffer) override {
        if (m_audio->createBufferResult != SoundResult::kOk) {
            return m_audio->createBufferResult;
        }
        auto state = std::make_shared<BufferState>();
        state->format = format;
        state->regionBytes = dwBytes + static_cast<std::uint32_t>(m_audio->extraRegionBytes);
        state->lockResults = m_audio->newBufferLockResults;
        state->unlockResult = m_audio->newBufferUnlockResult;
        m_audio->buffers.push_back(state);
        m_audio->bufferDevice.push_back(m_number);
        buffer = std::make_unique<FakeBuffer>(state);
        return SoundResult::kOk;
    }

private:
    std::shared_ptr<FakeAudio> m_audio;
    int m_number;
};

void PutLe32(std::vector<unsigned char>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
}

void PutLe16(std::vector<unsigned char>& out, std::uint16_t value) {
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

}  // namespace

FakeSoundScope::FakeSoundScope() : m_audio(std::make_shared<FakeAudio>()) {
    harbex::SoundDeviceProvider provider;
    std::shared_ptr<FakeAudio> audio = m_audio;
    provider.open = [audio](std::unique_ptr<harbex::ISoundDevice>& device) {
        ++audio->openCalls;
        if (!audio->openResults.empty()) {
            const SoundResult scripted = audio->openResults.front();
            audio->openResults.pop_front();
            if (scripted != SoundResult::kOk) {
                return scripted;
            }
        }
        ++audio->devicesOpened;
        device = std::make_unique<FakeDevice>(audio, audio->devicesOpened);
        return SoundResult::kOk;
    };
    provider.wait = [audio](std::uint32_t milliseconds) { audio->waits.push_back(milliseconds); };
    m_previous = harbex::SetSoundDeviceProvider(std::move(provider));
}

FakeSoundScope::~FakeSoundScope() {
    harbex::SetSoundDeviceProvider(std::move(m_previous));
}

WaveBuilder& WaveBuilder::Chunk(const std::string& id, const std::vector<unsigned char>& body,
                                bool pad) {
    RawChunk(id, static_cast<std::uint32_t>(body.size()), body);
    if (pad && body.size() % 2 != 0) {
        m_chunks.push_back(0);
    }
    return *this;
}

WaveBuilder& WaveBuilder::RawChunk(const std::string& id, std::uint32_t length,
                                   const std::vector<unsigned char>& body) {
    m_chunks.insert(m_chunks.end(), id.begin(), id.end());
    PutLe32(m_chunks, length);
    m_chunks.insert(m_chunks.end(), body.begin(), body.end());
    return *this;
}

WaveBuilder& WaveBuilder::Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                 std::uint16_t bits, std::size_t bodySize) {
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    std::vector<unsigned char> body;
    PutLe16(body, tag);
    PutLe16(body, channels);
    PutLe32(body, rate);
    PutLe32(body, rate * blockAlign);
    PutLe16(body, blockAlign);
    PutLe16(body, bits);
    PutLe16(body, 0);
    body.resize(bodySize, 0);
    return Chunk("fmt ", body);
}

std::vector<unsigned char> WaveBuilder::Build() const {
    return Build(static_cast<std::uint32_t>(4 + m_chunks.size()));
}

std::vector<unsigned char> WaveBuilder::Build(std::uint32_t riffLength) const {
    std::vector<unsigned char> image = {'R', 'I', 'F', 'F'};
    PutLe32(image, riffLength);
    image.insert(image.end(), {'W', 'A', 'V', 'E'});
    image.insert(image.end(), m_chunks.begin(), m_chunks.end());
    return image;
}

std::vector<unsigned char> MonoImage(const std::vector<unsigned char>& samples) {
    return WaveBuilder().Format(1, 1, 8000, 8).Data(samples).Build();
}

}  // namespace soundtest
