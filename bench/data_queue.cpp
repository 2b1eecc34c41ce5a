// The packet queue against a deque of byte vectors, moving the same small packets: each round
// inserts a batch and distills it again, the steady state of a queue between two parties.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <random>
#include <vector>

#include "harbex/DataQueue.h"

namespace {

constexpr std::uint16_t kMaxPayload = 256;
// The streaming cases cycle through this many sizes; a power of two, so picking the next size is
// a mask rather than a division that would cost both contenders more than a queue step.
constexpr std::size_t kStreamSizes = 4096;
static_assert((kStreamSizes & (kStreamSizes - 1)) == 0);

// Payload sizes of 16 to 256 bytes, the same sequence for every contender.
std::vector<std::uint16_t> PacketSizes(std::size_t count) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> size(16, kMaxPayload);
    std::vector<std::uint16_t> sizes(count);
    for (auto& s : sizes) {
        s = static_cast<std::uint16_t>(size(random));
    }
    return sizes;
}

void DataQueueBatches(benchmark::State& state) {
    const std::vector<std::uint16_t> sizes = PacketSizes(static_cast<std::size_t>(state.range(0)));
    std::vector<std::uint8_t> payload(kMaxPayload, 0x5A);
    std::vector<std::uint8_t> out(kMaxPayload);
    CDataQueue queue;
    for (auto _ : state) {
        std::uint16_t id = 0;
        for (std::uint16_t size : sizes) {
            queue.InsertData(id++, payload.data(), size);
        }
        tagDataHead head{};
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            queue.DistillData(head, out.data(), kMaxPayload);
            benchmark::DoNotOptimize(out.data());
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void DequeBatches(benchmark::State& state) {
    const std::vector<std::uint16_t> sizes = PacketSizes(static_cast<std::size_t>(state.range(0)));
    std::vector<std::uint8_t> payload(kMaxPayload, 0x5A);
    std::vector<std::uint8_t> out(kMaxPayload);
    struct Packet {
        std::uint16_t id;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<Packet> queue;
    for (auto _ : state) {
        std::uint16_t id = 0;
        for (std::uint16_t size : sizes) {
            queue.push_back(
                Packet{id++, std::vector<std::uint8_t>(payload.data(), payload.data() + size)});
        }
        while (!queue.empty()) {
            const Packet& front = queue.front();
            std::memcpy(out.data(), front.bytes.data(), front.bytes.size());
            benchmark::DoNotOptimize(out.data());
            queue.pop_front();
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A producer running ahead of its consumer: the queue holds `range(0)` packets while each step
// adds one and takes one.
void DataQueueStreaming(benchmark::State& state) {
    const std::vector<std::uint16_t> sizes = PacketSizes(kStreamSizes);
    std::vector<std::uint8_t> payload(kMaxPayload, 0x5A);
    std::vector<std::uint8_t> out(kMaxPayload);
    CDataQueue queue;
    std::size_t next = 0;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        queue.InsertData(0, payload.data(), sizes[next++ & (kStreamSizes - 1)]);
    }
    tagDataHead head{};
    for (auto _ : state) {
        queue.InsertData(1, payload.data(), sizes[next++ & (kStreamSizes - 1)]);
        queue.DistillData(head, out.data(), kMaxPayload);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void DequeStreaming(benchmark::State& state) {
    const std::vector<std::uint16_t> sizes = PacketSizes(kStreamSizes);
    std::vector<std::uint8_t> payload(kMaxPayload, 0x5A);
    std::vector<std::uint8_t> out(kMaxPayload);
    struct Packet {
        std::uint16_t id;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<Packet> queue;
    std::size_t next = 0;
    auto push = [&](std::uint16_t id) {
        const std::uint16_t size = sizes[next++ & (kStreamSizes - 1)];
        queue.push_back(
            Packet{id, std::vector<std::uint8_t>(payload.data(), payload.data() + size)});
    };
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        push(0);
    }
    for (auto _ : state) {
        push(1);
        const Packet& front = queue.front();
        std::memcpy(out.data(), front.bytes.data(), front.bytes.size());
        benchmark::DoNotOptimize(out.data());
        queue.pop_front();
    }
    state.SetItemsProcessed(state.iterations());
}

// The floor under any queue of these packets: each payload copied in and copied out again,
// with no bookkeeping at all, through a ring as large as the streaming queue's.
void PayloadCopiesOnly(benchmark::State& state) {
    const std::vector<std::uint16_t> sizes = PacketSizes(kStreamSizes);
    std::vector<std::uint8_t> payload(kMaxPayload, 0x5A);
    std::vector<std::uint8_t> out(kMaxPayload);
    const std::size_t ringSize = static_cast<std::size_t>(state.range(0)) * (kMaxPayload + 4);
    std::vector<std::uint8_t> ring(ringSize + kMaxPayload);
    std::size_t write = 0;
    std::size_t read = 0;
    std::size_t next = 0;
    for (auto _ : state) {
        const std::uint16_t size = sizes[next++ & (kStreamSizes - 1)];
        std::memcpy(ring.data() + write, payload.data(), size);
        std::memcpy(out.data(), ring.data() + read, size);
        benchmark::DoNotOptimize(out.data());
        write = write + size + 4 < ringSize ? write + size + 4 : 0;
        read = read + size + 4 < ringSize ? read + size + 4 : 0;
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(PayloadCopiesOnly)->Arg(64)->Arg(1024);
BENCHMARK(DataQueueStreaming)->Arg(64)->Arg(1024);
BENCHMARK(DequeStreaming)->Arg(64)->Arg(1024);
BENCHMARK(DataQueueBatches)->Arg(1)->Arg(64)->Arg(1024);
BENCHMARK(DequeBatches)->Arg(1)->Arg(64)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
