#include "sound/DeviceKeeper.h"

#include <utility>

namespace harbex {

DeviceKeeper::DeviceKeeper(Device device, std::chrono::milliseconds idlePeriod)
    : m_device(std::move(device)), m_idlePeriod(idlePeriod), m_watcher([this] { Watch(); }) {}

DeviceKeeper::~DeviceKeeper() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_watcher.join();
    if (m_open) {
        m_device.close();
    }
}

bool DeviceKeeper::Demand() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_demanded = true;
    if (!m_open) {
        m_open = m_device.open();
        if (m_open) {
            m_wake.notify_all();  // the watcher waits for an open device
        }
    }
    return m_open;
}

bool DeviceKeeper::IsOpen() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_open;
}

void DeviceKeeper::Watch() noexcept {
    try {
        std::unique_lock<std::mutex> lock(m_lock);
        while (!m_stopping) {
            if (!m_open) {
                // Closed, nothing to watch: sleep until a demand opens the device.
                m_wake.wait(lock, [this] { return m_stopping || m_open; });
                continue;
            }
            CloseWhenIdle(lock);
        }
    } catch (...) {
        // Only the lock can throw here; the device then stays open until the keeper goes.
    }
}

void DeviceKeeper::CloseWhenIdle(std::unique_lock<std::mutex>& lock) {
    m_demanded = false;
    if (m_wake.wait_for(lock, m_idlePeriod, [this] { return m_stopping; })) {
        return;
    }
    if (m_demanded || m_device.played()) {
        return;  // played during the period: watch another one
    }
    m_device.close();
    m_open = false;
}

}  // namespace harbex
