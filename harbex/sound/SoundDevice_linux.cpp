// The sound device on Linux: one SDL audio device per shared device, fed by the software mixer.
// There is no resource section in a Linux program, so players are only made from memory.
#include <SDL.h>

#include <chrono>
#include <exception>
#include <memory>
#include <utility>

#include "sound/DeviceKeeper.h"
#include "sound/SoundDevice.h"
#include "sound/SoundMixer.h"

namespace harbex {

namespace {

constexpr int kOutputRate = 44100;
constexpr Uint16 kPeriodFrames = 1024;

void SDLCALL FillAudio(void* userdata, Uint8* stream, int len) {
    // SDL was asked for exactly our format (no changes allowed), so len is whole frames.
    const std::size_t frames =
        static_cast<std::size_t>(len) / (SoundMixer::kOutputChannels * sizeof(std::int16_t));
    static_cast<SoundMixer*>(userdata)->Mix(reinterpret_cast<std::int16_t*>(stream), frames);
}

// SDL's audio subsystem, initialised once per open device (SDL counts the initialisations).
class AudioSubsystem {
public:
    AudioSubsystem() {
        // A library must not take over the host program's SIGINT and SIGTERM; a host that uses
        // SDL itself and sets this hint keeps its own choice.
        SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_DEFAULT);
        m_ready = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    }
    ~AudioSubsystem() {
        if (m_ready) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }
    AudioSubsystem(const AudioSubsystem&) = delete;
    AudioSubsystem& operator=(const AudioSubsystem&) = delete;
    bool Ready() const { return m_ready; }

private:
    bool m_ready = false;
};

// The device closes one to two of these after the last sound ends, so that sounds in quick
// succession do not open it again each time.
constexpr std::chrono::milliseconds kIdlePeriod{1000};

class SdlSoundDevice : public ISoundDevice {
public:
    SdlSoundDevice(std::unique_ptr<AudioSubsystem> subsystem, std::shared_ptr<SoundMixer> mixer)
        : m_subsystem(std::move(subsystem)), m_mixer(std::move(mixer)) {}

    ~SdlSoundDevice() override {
        // Buffers may outlive the device; their plays no longer reach it after this.
        m_mixer->SetPlayListener(nullptr);
        m_keeper.reset();  // closes the device if it watched it
        if (m_device != 0) {
            CloseStream();  // open without a watcher
        }
    }

    SdlSoundDevice(const SdlSoundDevice&) = delete;
    SdlSoundDevice& operator=(const SdlSoundDevice&) = delete;

    // Opens the device once to see that it can be had, then keeps it open only while sounds play.
    bool Open() {
        if (!OpenStream()) {
            return false;
        }
        DeviceKeeper::Device device;
        device.open = [this] { return OpenStream(); };
        device.close = [this] { CloseStream(); };
        device.played = [mixer = m_mixer.get()] { return mixer->PlayedSinceAsked(); };
        try {
            m_keeper = std::make_unique<DeviceKeeper>(std::move(device), kIdlePeriod);
        } catch (const std::exception&) {
            return true;  // no thread to watch it: the device simply stays open
        }
        m_mixer->SetPlayListener([keeper = m_keeper.get()] { return keeper->Demand(); });
        return true;
    }

    // Nothing here depends on which window has the focus.
    SoundResult SetCooperativeLevel(void*) override { return SoundResult::kOk; }

    SoundResult CreateSoundBuffer(const tagWaveFormat& format, std::uint32_t dwBytes,
                                  std::unique_ptr<ISoundBuffer>& buffer) override {
        return m_mixer->CreateBuffer(format, dwBytes, buffer);
    }

private:
    // Called by Open and then only under the keeper's lock.
    bool OpenStream() {
        SDL_AudioSpec wanted{};
        wanted.freq = kOutputRate;
        wanted.format = AUDIO_S16SYS;
        wanted.channels = SoundMixer::kOutputChannels;
        wanted.samples = kPeriodFrames;
        wanted.callback = FillAudio;
        wanted.userdata = m_mixer.get();
        SDL_AudioSpec obtained{};
        m_device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (m_device == 0) {
            return false;
        }
        SDL_PauseAudioDevice(m_device, 0);
        return true;
    }

    void CloseStream() {
        // Waits for a running callback, so the mixer is no longer in use afterwards.
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }

    std::unique_ptr<AudioSubsystem> m_subsystem;
    std::shared_ptr<SoundMixer> m_mixer;
    SDL_AudioDeviceID m_device = 0;  // 0 while closed
    std::unique_ptr<DeviceKeeper> m_keeper;
};

}  // namespace

SoundResult OpenPlatformSoundDevice(std::unique_ptr<ISoundDevice>& device) {
    auto subsystem = std::make_unique<AudioSubsystem>();
    if (!subsystem->Ready()) {
        return SoundResult::kNoDriver;
    }
    auto opened =
        std::make_unique<SdlSoundDevice>(std::move(subsystem), SoundMixer::Make(kOutputRate));
    if (!opened->Open()) {
        // The driver is there but its device could not be had: most likely someone else
        // holds it, so this is worth another attempt.
        return SoundResult::kAllocated;
    }
    device = std::move(opened);
    return SoundResult::kOk;
}

bool FindWaveResource(const char*, const unsigned char*&, std::size_t&) {
    return false;
}

bool FindWaveResource(std::uint16_t, const unsigned char*&, std::size_t&) {
    return false;
}

}  // namespace harbex
