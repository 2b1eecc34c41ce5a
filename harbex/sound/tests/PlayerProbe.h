// Opens the player's protected steps and shared state to the tests.
#pragma once

#include "harbex/DirectSound.h"

namespace soundtest {

class PlayerProbe : public CDirectSound {
public:
    using CDirectSound::GetWaveData;
    static harbex::ISoundDevice* Device() { return m_lpDirectSound; }
    static std::uint32_t Instances() { return m_dwInstances; }
    const unsigned char* Samples() const { return m_pWaveData; }
    std::uint32_t SampleSize() const { return m_dwWaveSize; }
};

}  // namespace soundtest
