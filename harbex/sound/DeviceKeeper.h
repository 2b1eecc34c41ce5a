// Keeps an output device open only while it is wanted. A device fed by a callback runs its audio
// thread many times a second even while it only plays silence, paused or not; so the device is
// opened when something starts to play and closed once nothing has played for a whole period.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace harbex {

class DeviceKeeper {
public:
    struct Device {
        std::function<bool()> open;   // true when the device is open and running
        std::function<void()> close;  // never called while the device is closed
        // True when anything played since the last time it was asked, or plays now.
        std::function<bool()> played;
    };

    // The device is open already (it was opened to see that it works) and closes when nothing
    // plays during a whole idle period.
    DeviceKeeper(Device device, std::chrono::milliseconds idlePeriod);
    // Closes the device if it is open.
    ~DeviceKeeper();

    DeviceKeeper(const DeviceKeeper&) = delete;
    DeviceKeeper& operator=(const DeviceKeeper&) = delete;

    // Something is about to play: opens the device again if it was closed. False when it could
    // not be opened; the next demand tries again.
    bool Demand();
    bool IsOpen();

private:
    void Watch() noexcept;
    void CloseWhenIdle(std::unique_lock<std::mutex>& lock);

    const Device m_device;
    const std::chrono::milliseconds m_idlePeriod;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_open = true;       // guarded by m_lock, as are the two below
    bool m_demanded = false;  // a demand came during the current period
    bool m_stopping = false;
    std::thread m_watcher;  // last: it starts once everything above is set
};

}  // namespace harbex
