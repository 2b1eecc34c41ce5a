// A first-in, first-out store of variable-length packets in one growable ring buffer.
#pragma once

#include <cstdint>

#include "harbex/HarbexApi.h"

// The head stored in front of every packet's payload.
struct tagDataHead {
    std::uint16_t wPayloadSize;  // payload length in bytes
    std::uint16_t wPacketId;     // the caller's identifier of the packet
};

// The queue's load.
struct tagBurthenInfo {
    std::uint32_t dwHeldBytes;  // bytes held, packet heads included
    std::uint32_t dwCapacity;   // size of the buffer
    std::uint32_t dwPackets;    // packets held
};

// Packets live back to back in one buffer used as a ring: the writer wraps to the start when
// the tail is full and the reader has freed room there; otherwise the buffer grows and is
// straightened. Not synchronised: callers sharing a queue between threads lock around it.
class HARBEX_API CDataQueue {
public:
    CDataQueue();
    virtual ~CDataQueue();

    // The queue owns its buffer; a copy must not share it.
    CDataQueue(const CDataQueue&) = delete;
    CDataQueue& operator=(const CDataQueue&) = delete;

    // Fills the load report; always true.
    bool GetBurthenInfo(tagBurthenInfo& info);

    // Appends one packet. False (queue unchanged) when the buffer could not grow.
    bool InsertData(std::uint16_t wPacketId, const void* pData, std::uint16_t wDataSize);

    // Takes the oldest packet out. False when the queue is empty. When the destination is too
    // small for the payload, the packet is dropped all the same and head.wPayloadSize is 0.
    bool DistillData(tagDataHead& head, void* pBuffer, std::uint16_t wBufferSize);

    // Empties the queue; with true it also frees the buffer.
    void RemoveData(bool bFreeMemory);

    // Enlarges the buffer by room for at least ten packets of wExtraSize bytes (or half its
    // size, whichever is more) and straightens it. False (queue unchanged) on failure.
    bool RectifyBuffer(std::uint16_t wExtraSize);

private:
    // Applies the growth and wrap rules when the packet does not fit at the write position.
    bool MakeRoom(std::uint32_t packet, std::uint16_t wDataSize);
    // The insertion when the packet does not fit where the writer stands.
    bool InsertAfterMakingRoom(std::uint16_t wPacketId, const void* pData, std::uint16_t wDataSize);
    // Stores the packet at the write position, which has room for it; always true.
    bool WritePacket(std::uint16_t wPacketId, const void* pData, std::uint16_t wDataSize);

    std::uint32_t m_dwWritePos;      // where the next packet is written
    std::uint32_t m_dwTerminalPos;   // end of the older data in the tail part
    std::uint32_t m_dwDataQueryPos;  // where the next packet is read
    std::uint32_t m_dwDataSize;      // bytes held, heads included
    std::uint32_t m_dwPacketCount;   // packets held
    std::uint32_t m_dwBufferSize;    // usable size of m_pDataBuffer, which has spare bytes behind
    std::uint8_t* m_pDataBuffer;     // owned; null until the first insertion
    // True while the newer data sits at the buffer's start, before the older tail part. The
    // positions alone cannot tell this when the writer has filled the start exactly up to a
    // read position at the tail's end.
    bool m_bWrapped;
};
