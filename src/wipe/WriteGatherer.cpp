#include "wipe/WriteGatherer.h"

#include <algorithm>
#include <cstring>

void WriteGatherer::ThrowIfFailed() const {
    if (m_failure) std::rethrow_exception(m_failure);
}

size_t WriteGatherer::Capacity() const {
    return kBlockSize - static_cast<size_t>(m_nBlockStart % static_cast<int64_t>(kBlockSize));
}

void WriteGatherer::WriteOutGathered() {
    if (m_nUsed == 0) return;
    try {
        m_sink.WriteOut(m_buffer.get(), m_nUsed);
    } catch (...) {
        m_failure = std::current_exception();
        m_nUsed = 0;
        throw;
    }
    m_nBlockStart += static_cast<int64_t>(m_nUsed);
    m_nUsed = 0;
}

uint8_t* WriteGatherer::Room(size_t size) {
    if (Failed() || size > Capacity() - m_nUsed) return nullptr;
    if (!m_buffer) m_buffer.reset(new uint8_t[kBlockSize]);
    return m_buffer.get() + m_nUsed;
}

void WriteGatherer::Write(const void* data, size_t size) {
    ThrowIfFailed();
    if (size != 0 && !m_buffer) m_buffer.reset(new uint8_t[kBlockSize]);
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size != 0) {
        const size_t n = std::min(size, Capacity() - m_nUsed);
        // Bytes that were made in their place (Room) are already where they belong; a caller
        // that wrote past its room moves its own bytes, hence memmove.
        if (p != m_buffer.get() + m_nUsed) std::memmove(m_buffer.get() + m_nUsed, p, n);
        m_nUsed += n;
        p += n;
        size -= n;
        if (m_nUsed == Capacity()) WriteOutGathered();
    }
}

void WriteGatherer::Drain() {
    ThrowIfFailed();
    WriteOutGathered();
}

void WriteGatherer::Reset(int64_t offset) {
    ThrowIfFailed();
    m_nUsed = 0;
    m_nBlockStart = offset < 0 ? 0 : offset;
}

void GatheringFileHandle::Write(const void* data, size_t size) {
    CheckData();
    m_gather.Write(data, size);
}

uint8_t* GatheringFileHandle::WriteRoom(size_t size) {
    if (!IsOpen() || m_statusOnly) return nullptr;
    return m_gather.Room(size);
}

int64_t GatheringFileHandle::SeekToEnd() {
    CheckData();
    m_gather.Drain();
    const int64_t position = SystemSeekToEnd();
    m_gather.Reset(position);
    return position;
}

void GatheringFileHandle::Truncate() {
    CheckData();
    m_gather.Drain();
    SystemTruncate();
    m_gather.Reset(0);
}

bool GatheringFileHandle::SetStatus(const FileStatus& status) {
    CheckOpen();
    m_gather.Drain();
    return SystemSetStatus(status);
}

void GatheringFileHandle::Flush() {
    CheckOpen();
    m_gather.Drain();
    SystemFlush();
}

void GatheringFileHandle::Close() {
    if (!IsOpen()) return;
    std::exception_ptr failure;
    if (!m_gather.Failed()) {
        try {
            m_gather.Drain();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    try {
        SystemClose();
    } catch (...) {
        // The write-out failure is the one worth reporting.
        if (!failure) throw;
    }
    if (failure) std::rethrow_exception(failure);
}
