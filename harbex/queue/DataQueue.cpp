#include "harbex/DataQueue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "platform/Files.h"
#include "queue/BlockCopy.h"
#include "queue/DataQueueGrowth.h"

namespace harbex::queue_detail {

std::uint32_t GrownBufferSize(std::uint32_t current, std::uint16_t extra) {
    const std::uint64_t forPackets = (std::uint64_t{extra} + sizeof(tagDataHead)) * 10;
    const std::uint64_t total =
        std::uint64_t{current} + std::max<std::uint64_t>(forPackets, current / 2);
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        return 0;
    }
    return static_cast<std::uint32_t>(total);
}

}  // namespace harbex::queue_detail

namespace {

using harbex::queue_detail::kBlockReach;

constexpr std::uint32_t kHeadSize = sizeof(tagDataHead);
static_assert(kHeadSize == 4, "packet heads are stored as 4 bytes");

// The buffer starts on a cache line. Measured: a queue emptied after every packet, which
// writes and reads the buffer's first lines over and over, ran a third slower when they were
// not its own.
constexpr std::align_val_t kBufferAlignment{64};

// A buffer of `size` usable bytes with kBlockReach spare bytes behind it, which the block
// copies may touch beyond the last packet. Null when memory is short.
std::uint8_t* AllocateBuffer(std::uint32_t size) {
    if constexpr (sizeof(std::size_t) < sizeof(std::uint64_t)) {
        if (size > std::numeric_limits<std::size_t>::max() - kBlockReach) {
            return nullptr;
        }
    }
    return static_cast<std::uint8_t*>(
        ::operator new[](std::size_t{size} + kBlockReach, kBufferAlignment, std::nothrow));
}

void FreeBuffer(std::uint8_t* buffer) {
    ::operator delete[](buffer, kBufferAlignment);
}

// Fixed when the library loads; until then both copies read null, which only means memcpy.
const harbex::queue_detail::BlockCopier g_blockCopier = harbex::queue_detail::ChooseBlockCopier();

}  // namespace

CDataQueue::CDataQueue()
    : m_dwWritePos(0),
      m_dwTerminalPos(0),
      m_dwDataQueryPos(0),
      m_dwDataSize(0),
      m_dwPacketCount(0),
      m_dwBufferSize(0),
      m_pDataBuffer(nullptr),
      m_bWrapped(false) {}

CDataQueue::~CDataQueue() {
    FreeBuffer(m_pDataBuffer);
}

bool CDataQueue::GetBurthenInfo(tagBurthenInfo& info) {
    info.dwHeldBytes = m_dwDataSize;
    info.dwCapacity = m_dwBufferSize;
    info.dwPackets = m_dwPacketCount;
    return true;
}

bool CDataQueue::InsertData(std::uint16_t wPacketId, const void* pData, std::uint16_t wDataSize) {
    if (pData == nullptr && wDataSize != 0) {
        return false;
    }
    // The common case needs one test: the packet fits between the write position and the end
    // of the buffer (straight) or the read position (wrapped). Then no rule of MakeRoom applies.
    const std::uint64_t end = std::uint64_t{m_dwWritePos} + kHeadSize + wDataSize;
    if (end > (m_bWrapped ? m_dwDataQueryPos : m_dwBufferSize)) {
        return InsertAfterMakingRoom(wPacketId, pData, wDataSize);
    }
    return WritePacket(wPacketId, pData, wDataSize);
}

bool CDataQueue::InsertAfterMakingRoom(std::uint16_t wPacketId, const void* pData,
                                       std::uint16_t wDataSize) {
    if (!MakeRoom(kHeadSize + wDataSize, wDataSize)) {
        return false;
    }
    return WritePacket(wPacketId, pData, wDataSize);
}

bool CDataQueue::WritePacket(std::uint16_t wPacketId, const void* pData, std::uint16_t wDataSize) {
    std::uint8_t* target = m_pDataBuffer + m_dwWritePos;
    // The counts change before the copies, which the compiler must assume could touch them.
    ++m_dwPacketCount;
    m_dwDataSize += kHeadSize + wDataSize;
    m_dwWritePos += kHeadSize + wDataSize;
    // A straight writer ends the older data; a wrapped one stays short of it.
    const bool wrapped = m_bWrapped;
    if (!wrapped) {
        m_dwTerminalPos = m_dwWritePos;
    }

    const tagDataHead head{wDataSize, wPacketId};
    std::memcpy(target, &head, kHeadSize);
    // A payload of 1 to kBlockReach bytes goes in as whole blocks, which may write kBlockReach
    // bytes from its start. Ahead of a straight writer lie only free room and the spare bytes;
    // a wrapped one must stop short of the unread packets. An empty payload is not copied at
    // all: its pointer may be null.
    if (wDataSize - 1u < kBlockReach && g_blockCopier.copyIn != nullptr &&
        (!wrapped || std::uint64_t{m_dwWritePos} + (kBlockReach - wDataSize) <= m_dwDataQueryPos)) {
        return g_blockCopier.copyIn(target + kHeadSize, pData, wDataSize);
    }
    if (wDataSize != 0) {
        std::memcpy(target + kHeadSize, pData, wDataSize);
    }
    return true;
}

bool CDataQueue::MakeRoom(std::uint32_t packet, std::uint16_t wDataSize) {
    // Sums in 64 bits: the buffer may be close to 4 GiB.
    if (std::uint64_t{m_dwDataSize} + packet > m_dwBufferSize) {
        return RectifyBuffer(wDataSize);
    }
    if (!m_bWrapped) {
        if (std::uint64_t{m_dwWritePos} + packet > m_dwBufferSize) {
            if (m_dwDataQueryPos < packet) {
                return RectifyBuffer(wDataSize);
            }
            m_dwWritePos = 0;
            m_bWrapped = true;
        }
        return true;
    }
    if (std::uint64_t{m_dwWritePos} + packet > m_dwDataQueryPos) {
        return RectifyBuffer(wDataSize);  // ending exactly at the read position still fits
    }
    return true;
}

bool CDataQueue::DistillData(tagDataHead& head, void* pBuffer, std::uint16_t wBufferSize) {
    if (m_dwDataSize == 0 || m_dwPacketCount == 0) {
        return false;
    }
    std::uint32_t query = m_dwDataQueryPos;
    if (query == m_dwTerminalPos) {
        // The older part is used up: read on at the start.
        query = 0;
        m_dwTerminalPos = m_dwWritePos;
        m_bWrapped = false;
    }

    const std::uint8_t* source = m_pDataBuffer + query;
    tagDataHead stored;
    std::memcpy(&stored, source, kHeadSize);
    const std::uint16_t payload = stored.wPayloadSize;

    // The counts change before the copy, which the compiler must assume could touch them; the
    // bytes stay where they are until the next insertion.
    const std::uint32_t consumed = kHeadSize + payload;
    if (consumed >= m_dwDataSize) {
        // Empty: the next packet goes to the start, where the buffer is still in the cache.
        // Constants, not the counts worked out, so that the next call need not wait for this one.
        m_dwDataSize = 0;
        m_dwPacketCount = 0;
        m_dwDataQueryPos = m_dwWritePos = m_dwTerminalPos = 0;
        m_bWrapped = false;
    } else {
        --m_dwPacketCount;
        m_dwDataSize -= consumed;
        m_dwDataQueryPos = query + consumed;
    }

    // The head is handed over first, so that nothing waits on the copy, the call's last act.
    // A payload of 1 byte up to the buffer's size is copied; an empty or dropped one is not.
    const bool copy = payload - 1u < wBufferSize && pBuffer != nullptr;
    if (!copy) {
        stored.wPayloadSize = 0;  // empty, or dropped: the caller sees the identifier only
    }
    head = stored;
    if (copy) {
        // Reading kBlockReach bytes from a packet stays within the buffer and its spare bytes.
        if (payload <= kBlockReach && g_blockCopier.copyOut != nullptr) {
            return g_blockCopier.copyOut(pBuffer, source + kHeadSize, payload);
        }
        std::memcpy(pBuffer, source + kHeadSize, payload);
    }
    return true;
}

void CDataQueue::RemoveData(bool bFreeMemory) {
    m_dwDataSize = 0;
    m_dwWritePos = 0;
    m_dwTerminalPos = 0;
    m_dwDataQueryPos = 0;
    m_dwPacketCount = 0;
    m_bWrapped = false;
    if (bFreeMemory) {
        m_dwBufferSize = 0;
        FreeBuffer(m_pDataBuffer);
        m_pDataBuffer = nullptr;
    }
}

bool CDataQueue::RectifyBuffer(std::uint16_t wExtraSize) {
    const std::uint32_t newSize = harbex::queue_detail::GrownBufferSize(m_dwBufferSize, wExtraSize);
    if (newSize == 0) {
        return false;  // beyond 4 GiB the positions would wrap
    }
    std::uint8_t* buffer = AllocateBuffer(newSize);
    if (buffer == nullptr) {
        return false;
    }

    if (m_pDataBuffer != nullptr) {
        char trace[160];
        std::snprintf(trace, sizeof trace,
                      "@Data@=>m_dwTerminalPos=[%ld]@@@m_dwDataSize=[%ld]@@@m_dwDataQueryPos=[%ld]",
                      static_cast<long>(m_dwTerminalPos), static_cast<long>(m_dwDataSize),
                      static_cast<long>(m_dwDataQueryPos));
        platform::DebugOutput(trace);

        // Older part first, then the newer part from the start of the old buffer.
        const std::uint32_t older = m_dwTerminalPos - m_dwDataQueryPos;
        if (older != 0) {
            std::memcpy(buffer, m_pDataBuffer + m_dwDataQueryPos, older);
        }
        if (m_bWrapped && m_dwWritePos != 0) {
            std::memcpy(buffer + older, m_pDataBuffer, m_dwWritePos);
        }
        FreeBuffer(m_pDataBuffer);
    }

    m_dwDataQueryPos = 0;
    m_dwWritePos = m_dwDataSize;
    m_dwTerminalPos = m_dwDataSize;
    m_dwBufferSize = newSize;
    m_pDataBuffer = buffer;
    m_bWrapped = false;
    return true;
}
