#include "sound/DeviceKeeper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace soundtest {
namespace {

using namespace std::chrono_literals;

// A device that counts what is done to it; the keeper's watcher calls it from its own thread.
struct CountingDevice {
    std::atomic<int> opens{0};
    std::atomic<int> closes{0};
    std::atomic<bool> playing{false};
    std::atomic<bool> opensFail{false};

    harbex::DeviceKeeper::Device Functions() {
        harbex::DeviceKeeper::Device device;
        device.open = [this] {
            ++opens;
            return !opensFail.load();
        };
        device.close = [this] { ++closes; };
        device.played = [this] { return playing.load(); };
        return device;
    }
};

template <typename Predicate>
bool WithinTwoSeconds(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(DeviceKeeper, ClosesAQuietDeviceAndOpensItAgainOnDemand) {
    CountingDevice device;
    harbex::DeviceKeeper keeper(device.Functions(), 20ms);
    EXPECT_TRUE(keeper.IsOpen()) << "the device starts open";
    ASSERT_TRUE(WithinTwoSeconds([&] { return !keeper.IsOpen(); }));
    EXPECT_EQ(device.closes, 1);

    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(device.closes, 1) << "a closed device is not closed again";
    EXPECT_EQ(device.opens, 0);

    EXPECT_TRUE(keeper.Demand());
    EXPECT_TRUE(keeper.IsOpen());
    EXPECT_EQ(device.opens, 1);
    EXPECT_TRUE(keeper.Demand());
    EXPECT_EQ(device.opens, 1) << "an open device is not opened again";
    ASSERT_TRUE(WithinTwoSeconds([&] { return !keeper.IsOpen(); })) << "closed again when quiet";
    EXPECT_EQ(device.closes, 2);
}

TEST(DeviceKeeper, KeepsTheDeviceWhileSomethingPlaysOrIsAskedFor) {
    CountingDevice device;
    device.playing = true;
    harbex::DeviceKeeper keeper(device.Functions(), 100ms);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(keeper.IsOpen());
    EXPECT_EQ(device.closes, 0);

    // Short sounds one after another: each demand buys another whole period.
    device.playing = false;
    const auto until = std::chrono::steady_clock::now() + 300ms;
    while (std::chrono::steady_clock::now() < until) {
        keeper.Demand();
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(device.closes, 0);
    EXPECT_TRUE(WithinTwoSeconds([&] { return !keeper.IsOpen(); }));
}

TEST(DeviceKeeper, ADeviceThatCannotBeOpenedIsTriedAgainAtTheNextDemand) {
    CountingDevice device;
    harbex::DeviceKeeper keeper(device.Functions(), 5ms);
    ASSERT_TRUE(WithinTwoSeconds([&] { return !keeper.IsOpen(); }));

    device.opensFail = true;
    EXPECT_FALSE(keeper.Demand());
    EXPECT_FALSE(keeper.IsOpen());
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(device.closes, 1) << "a device that did not open is not closed";

    device.opensFail = false;
    EXPECT_TRUE(keeper.Demand());
    EXPECT_EQ(device.opens, 2);
}

TEST(DeviceKeeper, AnOpenDeviceIsClosedOnceWhenTheKeeperGoes) {
    CountingDevice open;
    std::make_unique<harbex::DeviceKeeper>(open.Functions(), 1h).reset();
    EXPECT_EQ(open.closes, 1) << "and at once, without waiting for the idle period";

    CountingDevice closed;
    {
        harbex::DeviceKeeper keeper(closed.Functions(), 5ms);
        ASSERT_TRUE(WithinTwoSeconds([&] { return !keeper.IsOpen(); }));
    }
    EXPECT_EQ(closed.closes, 1);
}

}  // namespace
}  // namespace soundtest
