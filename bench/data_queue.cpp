// The packet queue against a deque of byte vectors, moving the same small packets (16 to 256
// bytes), with two minimal rings beside them that keep no books: one copies with memcpy, the
// other with the queue's own block copies. The contenders run in turns of one round each inside
// one benchmark, so a machine whose speed drifts during the run (a shared virtual machine does)
// slows all alike; the counters give each one's time per packet and the deque's time over the
// queue's and over each ring's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "harbex/DataQueue.h"
#include "queue/BlockCopy.h"

namespace {

constexpr std::uint16_t kMaxPayload = 256;
// The size sequence repeats after this many packets; a power of two, so picking the next size
// is a mask rather than a division that would cost both contenders more than a queue step.
constexpr std::size_t kSizeCount = 4096;
static_assert((kSizeCount & (kSizeCount - 1)) == 0);
// Packets per timed round: enough that reading the clock is lost in the noise.
constexpr std::size_t kRoundPackets = 8192;

// Payload sizes of 16 to 256 bytes, the same sequence for every contender.
std::vector<std::uint16_t> PacketSizes() {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> size(16, kMaxPayload);
    std::vector<std::uint16_t> sizes(kSizeCount);
    for (auto& s : sizes) {
        s = static_cast<std::uint16_t>(size(random));
    }
    return sizes;
}

// A source of packets and a destination for them, shared by both contenders.
class PacketStream {
public:
    PacketStream() : m_sizes(PacketSizes()), m_payload(kMaxPayload, 0x5A), m_out(kMaxPayload) {}

    // A round works on a copy held in registers and hands it back at its end, so that reading
    // the stream costs both contenders as little as possible.
    struct Cursor {
        const std::uint16_t* sizes;
        const std::uint8_t* payload;
        std::uint8_t* out;
        std::size_t next;

        std::uint16_t NextSize() { return sizes[next++ & (kSizeCount - 1)]; }
        // By value: handing the optimiser barrier the member itself would pin the whole cursor
        // in memory.
        std::uint8_t* Out() const { return out; }
    };
    Cursor Begin() { return Cursor{m_sizes.data(), m_payload.data(), m_out.data(), m_next}; }
    void End(const Cursor& cursor) { m_next = cursor.next; }

private:
    std::vector<std::uint16_t> m_sizes;
    std::vector<std::uint8_t> m_payload;
    std::vector<std::uint8_t> m_out;
    std::size_t m_next = 0;
};

class QueueContender {
public:
    void Insert(PacketStream::Cursor& stream, std::uint16_t id) {
        m_queue.InsertData(id, stream.payload, stream.NextSize());
    }
    void Take(PacketStream::Cursor& stream) {
        m_queue.DistillData(m_head, stream.out, kMaxPayload);
        benchmark::DoNotOptimize(stream.Out());
    }

private:
    CDataQueue m_queue;
    tagDataHead m_head{};
};

// The payload copies of a minimal ring: memcpy, or the queue's block copies where the processor
// has them.
struct MemcpyCopies {
    void In(std::uint8_t* to, const void* from, std::uint16_t size) const {
        std::memcpy(to, from, size);
    }
    void Out(void* to, const std::uint8_t* from, std::uint16_t size) const {
        std::memcpy(to, from, size);
    }
};

struct BlockCopies {
    // Chosen once: the queue's block copies, or memcpy where the processor has none, as in the
    // queue. The packets are never empty, which the block copies do not take.
    harbex::queue_detail::BlockCopier copier = [] {
        harbex::queue_detail::BlockCopier chosen = harbex::queue_detail::ChooseBlockCopier();
        if (chosen.copyIn == nullptr || chosen.copyOut == nullptr) {
            chosen.copyIn = [](std::uint8_t* to, const void* from, std::uint32_t n) {
                std::memcpy(to, from, n);
                return true;
            };
            chosen.copyOut = [](void* to, const std::uint8_t* from, std::uint32_t n) {
                std::memcpy(to, from, n);
                return true;
            };
        }
        return chosen;
    }();

    void In(std::uint8_t* to, const void* from, std::uint16_t size) const {
        copier.copyIn(to, from, size);
    }
    void Out(void* to, const std::uint8_t* from, std::uint16_t size) const {
        copier.copyOut(to, from, size);
    }
};

// Not a usable queue: the least a ring of packet heads and payloads does, inline, in a buffer
// large enough never to grow, with no checks. The packet queue pays for its growth, wrap rules,
// checks and exported calls on top of the same copies, so the ring with block copies is a ceiling
// for the queue's speed on the machine at hand.
template <class Copies>
class MinimalRingContender {
public:
    MinimalRingContender() : m_buffer(kRingBytes + harbex::queue_detail::kBlockReach) {}

    void Insert(PacketStream::Cursor& stream, std::uint16_t id) {
        const std::uint16_t size = stream.NextSize();
        if (m_write + kHeadSize + size > kRingBytes) {
            m_end = m_write;
            m_write = 0;
        }
        const tagDataHead head{size, id};
        std::memcpy(m_buffer.data() + m_write, &head, kHeadSize);
        m_copies.In(m_buffer.data() + m_write + kHeadSize, stream.payload, size);
        m_write += kHeadSize + size;
    }
    void Take(PacketStream::Cursor& stream) {
        if (m_read == m_end) {
            m_read = 0;
            m_end = kNoEnd;
        }
        tagDataHead head;
        std::memcpy(&head, m_buffer.data() + m_read, kHeadSize);
        m_copies.Out(stream.out, m_buffer.data() + m_read + kHeadSize, head.wPayloadSize);
        benchmark::DoNotOptimize(stream.Out());
        m_read += kHeadSize + head.wPayloadSize;
    }

private:
    static constexpr std::size_t kRingBytes = std::size_t{1} << 20;
    static constexpr std::size_t kHeadSize = sizeof(tagDataHead);
    static constexpr std::size_t kNoEnd = ~std::size_t{0};
    Copies m_copies;
    // Spare bytes behind the ring, as behind the queue's buffer, which the block copies may touch.
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_write = 0;
    std::size_t m_read = 0;
    std::size_t m_end = kNoEnd;
};

class DequeContender {
public:
    void Insert(PacketStream::Cursor& stream, std::uint16_t id) {
        const std::uint16_t size = stream.NextSize();
        m_queue.push_back(
            Packet{id, std::vector<std::uint8_t>(stream.payload, stream.payload + size)});
    }
    void Take(PacketStream::Cursor& stream) {
        const Packet& front = m_queue.front();
        std::memcpy(stream.out, front.bytes.data(), front.bytes.size());
        benchmark::DoNotOptimize(stream.Out());
        m_queue.pop_front();
    }

private:
    struct Packet {
        std::uint16_t id;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<Packet> m_queue;
};

// One contender's share of the run: its own queue and stream, and the time it has taken.
template <class Contender>
struct Lane {
    Contender contender;
    PacketStream stream;
    std::chrono::nanoseconds spent{0};
    std::uint64_t packets = 0;

    template <class Round>
    void Timed(Round&& round) {
        const auto start = std::chrono::steady_clock::now();
        PacketStream::Cursor cursor = stream.Begin();
        round(contender, cursor);
        stream.End(cursor);
        spent += std::chrono::steady_clock::now() - start;
        packets += kRoundPackets;
    }
    double NanosecondsPerPacket() const {
        return packets == 0 ? 0.0
                            : static_cast<double>(spent.count()) / static_cast<double>(packets);
    }
};

// The four contenders of one benchmark, each with its own lane.
struct Race {
    Lane<QueueContender> queue;
    Lane<MinimalRingContender<MemcpyCopies>> ring;
    Lane<MinimalRingContender<BlockCopies>> blockRing;
    Lane<DequeContender> deque;

    // Puts `count` packets in every contender before the clock runs.
    void Prefill(std::int64_t count) {
        auto fill = [count](auto& lane) {
            PacketStream::Cursor cursor = lane.stream.Begin();
            for (std::int64_t i = 0; i < count; ++i) {
                lane.contender.Insert(cursor, 0);
            }
            lane.stream.End(cursor);
        };
        fill(queue);
        fill(ring);
        fill(blockRing);
        fill(deque);
    }

    template <class Round>
    void Run(benchmark::State& state, Round&& round) {
        for (auto _ : state) {
            queue.Timed(round);
            ring.Timed(round);
            blockRing.Timed(round);
            deque.Timed(round);
        }
        const double dequeTime = deque.NanosecondsPerPacket();
        auto report = [&state, dequeTime](const char* name, double time) {
            state.counters[std::string(name) + "_ns"] = time;
            state.counters[std::string("deque_over_") + name] = time > 0 ? dequeTime / time : 0.0;
        };
        report("queue", queue.NanosecondsPerPacket());
        report("ring", ring.NanosecondsPerPacket());
        report("block_ring", blockRing.NanosecondsPerPacket());
        state.counters["deque_ns"] = dequeTime;
        state.SetItemsProcessed(static_cast<std::int64_t>(queue.packets + ring.packets +
                                                          blockRing.packets + deque.packets));
    }
};

// A batch of `range(0)` packets is inserted and then distilled again, the steady state of a
// queue between two parties that take turns.
void Batches(benchmark::State& state) {
    const std::size_t batch = static_cast<std::size_t>(state.range(0));
    Race race;
    race.Run(state, [batch](auto& contender, PacketStream::Cursor& stream) {
        for (std::size_t done = 0; done < kRoundPackets; done += batch) {
            for (std::size_t i = 0; i < batch; ++i) {
                contender.Insert(stream, static_cast<std::uint16_t>(i));
            }
            for (std::size_t i = 0; i < batch; ++i) {
                contender.Take(stream);
            }
        }
    });
}

// A producer running ahead of its consumer: the queue holds `range(0)` packets while each step
// adds one and takes one.
void Streaming(benchmark::State& state) {
    Race race;
    race.Prefill(state.range(0));
    race.Run(state, [](auto& contender, PacketStream::Cursor& stream) {
        for (std::size_t i = 0; i < kRoundPackets; ++i) {
            contender.Insert(stream, 1);
            contender.Take(stream);
        }
    });
}

// The floor under a queue that copies with memcpy: each payload copied in and, `range(0)`
// packets later, copied out again, with no bookkeeping at all. A lag of 0 reads back the bytes just
// written, as a batch of one does; the store-to-load path then costs more than the copies.
void PayloadCopiesOnly(benchmark::State& state) {
    PacketStream stream;
    PacketStream::Cursor written = stream.Begin();
    PacketStream::Cursor read = stream.Begin();
    const std::size_t lag = static_cast<std::size_t>(state.range(0));
    const std::size_t ringSize = (lag + 1) * (kMaxPayload + 4);
    std::vector<std::uint8_t> ring(ringSize + kMaxPayload);
    auto advance = [ringSize](std::size_t position, std::uint16_t size) {
        return position + size + 4 < ringSize ? position + size + 4 : 0;
    };
    std::size_t writePos = 0;
    std::size_t readPos = 0;
    for (std::size_t i = 0; i < lag; ++i) {
        writePos = advance(writePos, written.NextSize());
    }
    for (auto _ : state) {
        const std::uint16_t inSize = written.NextSize();
        const std::uint16_t outSize = read.NextSize();
        std::memcpy(ring.data() + writePos, written.payload, inSize);
        std::memcpy(read.out, ring.data() + readPos, outSize);
        benchmark::DoNotOptimize(read.Out());
        writePos = advance(writePos, inSize);
        readPos = advance(readPos, outSize);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(PayloadCopiesOnly)->Arg(0)->Arg(64)->Arg(1024);
BENCHMARK(Streaming)->Arg(64)->Arg(1024);
BENCHMARK(Batches)->Arg(1)->Arg(64)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
