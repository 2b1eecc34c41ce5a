#include "sound/SoundMixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace harbex {

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// In the extension of an extensible format: valid bits (2), channel mask (4), then the
// sub-format GUID whose first two bytes are the plain format tag.
constexpr std::uint16_t kSubFormatOffset = 6;
constexpr std::uint16_t kExtensibleSize = 22;

enum class SampleKind { kU8, kS16, kS24, kS32, kF32 };

bool KindOf(const tagWaveFormat& format, SampleKind& kind) {
    std::uint16_t tag = format.wFormatTag;
    if (tag == kFormatExtensible) {
        if (format.cbSize < kExtensibleSize || format.pExtra == nullptr) {
            return false;
        }
        tag = static_cast<std::uint16_t>(format.pExtra[kSubFormatOffset] |
                                         (format.pExtra[kSubFormatOffset + 1] << 8));
    }
    if (tag == kFormatPcm) {
        switch (format.wBitsPerSample) {
            case 8:
                kind = SampleKind::kU8;
                return true;
            case 16:
                kind = SampleKind::kS16;
                return true;
            case 24:
                kind = SampleKind::kS24;
                return true;
            case 32:
                kind = SampleKind::kS32;
                return true;
            default:
                return false;
        }
    }
    if (tag == kFormatFloat && format.wBitsPerSample == 32) {
        kind = SampleKind::kF32;
        return true;
    }
    return false;
}

float ReadSample(const unsigned char* p, SampleKind kind) {
    switch (kind) {
        case SampleKind::kU8:
            return (static_cast<int>(p[0]) - 128) / 128.0f;
        case SampleKind::kS16:
            return static_cast<std::int16_t>(p[0] | (p[1] << 8)) / 32768.0f;
        case SampleKind::kS24: {
            const std::uint32_t u = (static_cast<std::uint32_t>(p[0]) << 8) |
                                    (static_cast<std::uint32_t>(p[1]) << 16) |
                                    (static_cast<std::uint32_t>(p[2]) << 24);
            return static_cast<float>(static_cast<std::int32_t>(u)) / 2147483648.0f;
        }
        case SampleKind::kS32: {
            const std::uint32_t u =
                static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
            return static_cast<float>(static_cast<std::int32_t>(u)) / 2147483648.0f;
        }
        case SampleKind::kF32: {
            const std::uint32_t u =
                static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
            float value;
            std::memcpy(&value, &u, sizeof value);
            return std::isfinite(value) ? value : 0.0f;
        }
    }
    return 0.0f;
}

std::int16_t ToOutput(float value) {
    const float scaled = std::clamp(value, -1.0f, 1.0f) * 32767.0f;
    return static_cast<std::int16_t>(std::lround(scaled));
}

}  // namespace

// One buffer's samples and play state; everything here is guarded by the mixer's lock.
struct SoundMixer::Voice {
    SampleKind kind = SampleKind::kU8;
    std::uint16_t channels = 0;
    std::uint16_t sampleBytes = 0;
    std::uint16_t blockAlign = 0;
    std::uint32_t bytes = 0;
    std::uint64_t frames = 0;
    // Source frames per output frame, in 32.32 fixed point.
    std::uint64_t stepWhole = 0;
    std::uint32_t stepFraction = 0;

    std::vector<unsigned char> samples;
    std::uint64_t frame = 0;
    std::uint32_t fraction = 0;
    bool playing = false;
    bool looping = false;

    void MixInto(float* acc, std::size_t nFrames) {
        for (std::size_t i = 0; i < nFrames && playing; ++i) {
            if (frame >= frames) {
                Finish();
                return;
            }
            const unsigned char* p = samples.data() + frame * blockAlign;
            const float left = ReadSample(p, kind);
            const float right = channels > 1 ? ReadSample(p + sampleBytes, kind) : left;
            acc[2 * i] += left;
            acc[2 * i + 1] += right;
            const std::uint64_t sum = static_cast<std::uint64_t>(fraction) + stepFraction;
            fraction = static_cast<std::uint32_t>(sum);
            frame += stepWhole + (sum >> 32);
            if (frame >= frames) {
                if (looping) {
                    frame %= frames;
                } else {
                    Finish();
                }
            }
        }
    }

    // A single pass ends at the end of the buffer, where the position stays.
    void Finish() {
        playing = false;
        frame = frames;
        fraction = 0;
    }
};

class SoundMixer::Buffer : public ISoundBuffer {
public:
    Buffer(std::shared_ptr<SoundMixer> mixer, std::unique_ptr<Voice> voice)
        : m_mixer(std::move(mixer)), m_voice(std::move(voice)) {
        std::lock_guard<std::mutex> guard(m_mixer->m_lock);
        m_mixer->m_voices.push_back(m_voice.get());
    }

    ~Buffer() override {
        std::lock_guard<std::mutex> guard(m_mixer->m_lock);
        auto& voices = m_mixer->m_voices;
        voices.erase(std::remove(voices.begin(), voices.end(), m_voice.get()), voices.end());
    }

    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    // The caller writes into a copy; Unlock hands it to the audio thread in one step, so the
    // mix never reads half-written samples.
    SoundResult Lock(unsigned char** ppRegion, std::uint32_t* pdwBytes) override {
        if (ppRegion == nullptr || pdwBytes == nullptr || m_locked) {
            return SoundResult::kFailed;
        }
        {
            std::lock_guard<std::mutex> guard(m_mixer->m_lock);
            m_staging = m_voice->samples;
        }
        m_locked = true;
        *ppRegion = m_staging.data();
        *pdwBytes = static_cast<std::uint32_t>(m_staging.size());
        return SoundResult::kOk;
    }

    SoundResult Unlock(unsigned char* pRegion, std::uint32_t dwBytes) override {
        if (!m_locked || pRegion != m_staging.data() || dwBytes != m_staging.size()) {
            return SoundResult::kFailed;
        }
        {
            std::lock_guard<std::mutex> guard(m_mixer->m_lock);
            m_voice->samples.swap(m_staging);
        }
        m_locked = false;
        m_staging = {};
        return SoundResult::kOk;
    }

    // Memory of ours is never taken away.
    SoundResult Restore() override { return SoundResult::kOk; }

    SoundResult SetCurrentPosition(std::uint32_t dwPosition) override {
        std::lock_guard<std::mutex> guard(m_mixer->m_lock);
        Voice& v = *m_voice;
        v.frame = dwPosition >= v.bytes ? v.frames : dwPosition / v.blockAlign;
        v.fraction = 0;
        return SoundResult::kOk;
    }

    SoundResult GetCurrentPosition(std::uint32_t* pdwPosition) override {
        if (pdwPosition == nullptr) {
            return SoundResult::kFailed;
        }
        std::lock_guard<std::mutex> guard(m_mixer->m_lock);
        const Voice& v = *m_voice;
        *pdwPosition =
            v.frame >= v.frames ? v.bytes : static_cast<std::uint32_t>(v.frame * v.blockAlign);
        return SoundResult::kOk;
    }

    SoundResult Play(bool bLoop) override {
        {
            std::lock_guard<std::mutex> guard(m_mixer->m_lock);
            Voice& v = *m_voice;
            v.looping = bLoop;
            if (v.frame >= v.frames) {
                if (!bLoop) {
                    v.playing = false;  // a single pass from the end plays nothing
                    return SoundResult::kOk;
                }
                v.frame = 0;
                v.fraction = 0;
            }
            v.playing = true;
        }
        if (!m_mixer->NotePlaying()) {
            std::lock_guard<std::mutex> guard(m_mixer->m_lock);
            m_voice->playing = false;  // it would start whenever the device opens, maybe much later
            return SoundResult::kAllocated;
        }
        return SoundResult::kOk;
    }

    SoundResult Stop() override {
        std::lock_guard<std::mutex> guard(m_mixer->m_lock);
        m_voice->playing = false;
        return SoundResult::kOk;
    }

private:
    std::shared_ptr<SoundMixer> m_mixer;
    std::unique_ptr<Voice> m_voice;
    std::vector<unsigned char> m_staging;  // player's thread only
    bool m_locked = false;
};

std::shared_ptr<SoundMixer> SoundMixer::Make(std::uint32_t dwOutputRate) {
    return std::shared_ptr<SoundMixer>(new SoundMixer(dwOutputRate));
}

SoundResult SoundMixer::CreateBuffer(const tagWaveFormat& format, std::uint32_t dwBytes,
                                     std::unique_ptr<ISoundBuffer>& buffer) {
    SampleKind kind;
    if (!KindOf(format, kind) || format.nChannels == 0 || format.nSamplesPerSec == 0 ||
        m_dwOutputRate == 0) {
        return SoundResult::kFailed;
    }
    const std::uint16_t sampleBytes = static_cast<std::uint16_t>(format.wBitsPerSample / 8);
    if (format.nBlockAlign < static_cast<std::uint32_t>(format.nChannels) * sampleBytes ||
        dwBytes < format.nBlockAlign) {
        return SoundResult::kFailed;
    }
    auto voice = std::make_unique<Voice>();
    voice->kind = kind;
    voice->channels = format.nChannels;
    voice->sampleBytes = sampleBytes;
    voice->blockAlign = format.nBlockAlign;
    voice->bytes = dwBytes;
    voice->frames = dwBytes / format.nBlockAlign;
    const std::uint64_t step =
        (static_cast<std::uint64_t>(format.nSamplesPerSec) << 32) / m_dwOutputRate;
    voice->stepWhole = step >> 32;
    voice->stepFraction = static_cast<std::uint32_t>(step);
    voice->samples.assign(dwBytes, 0);
    buffer = std::make_unique<Buffer>(shared_from_this(), std::move(voice));
    return SoundResult::kOk;
}

bool SoundMixer::AnyPlaying() {
    std::lock_guard<std::mutex> guard(m_lock);
    return std::any_of(m_voices.begin(), m_voices.end(),
                       [](const Voice* voice) { return voice->playing; });
}

bool SoundMixer::PlayedSinceAsked() {
    // Cleared before looking at the voices: a voice that ends in between has been mixed again.
    const bool mixed = m_mixedSinceAsked.exchange(false);
    return AnyPlaying() || mixed;
}

void SoundMixer::SetPlayListener(std::function<bool()> listener) {
    std::lock_guard<std::mutex> guard(m_listenerLock);
    m_playListener = std::move(listener);
}

bool SoundMixer::NotePlaying() {
    std::lock_guard<std::mutex> guard(m_listenerLock);
    return !m_playListener || m_playListener();
}

void SoundMixer::Mix(std::int16_t* pOut, std::size_t nFrames) noexcept {
    if (pOut == nullptr) {
        return;
    }
    std::fill(pOut, pOut + nFrames * kOutputChannels, std::int16_t{0});
    std::unique_lock<std::mutex> guard(m_lock, std::defer_lock);
    try {
        guard.lock();
    } catch (...) {
        return;  // silence rather than an exception on the audio thread
    }
    constexpr std::size_t kChunk = 256;
    float acc[kChunk * kOutputChannels];
    for (std::size_t done = 0; done < nFrames;) {
        const std::size_t n = std::min(kChunk, nFrames - done);
        std::fill(acc, acc + n * kOutputChannels, 0.0f);
        for (Voice* voice : m_voices) {
            if (voice->playing) {
                voice->MixInto(acc, n);
                m_mixedSinceAsked.store(true, std::memory_order_relaxed);
            }
        }
        for (std::size_t i = 0; i < n * kOutputChannels; ++i) {
            pOut[done * kOutputChannels + i] = ToOutput(acc[i]);
        }
        done += n;
    }
}

}  // namespace harbex
