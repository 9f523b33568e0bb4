#pragma once
// A SerialPort that replays scripted bytes and injects failures. Bytes are queued in chunks;
// one Read delivers at most one chunk (or the part of it that fits), so a reply can be made to
// arrive in pieces. With no chunk waiting a Read returns 0 bytes and, when a clock is given,
// advances it by the time-out asked for, as a real port would wait.

#include "FakeTickClock.h"
#include "base/SerialPort.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

namespace orv {

class FakeSerialPort final : public SerialPort
{
public:
    explicit FakeSerialPort(FakeTickClock* clock = nullptr) : m_clock(clock) {}

    bool Open(const std::string& device, uint32_t baud) override
    {
        std::scoped_lock lock(m_mutex);
        ++opens;
        openedDevice = device;
        openedBaud = baud;
        m_open = !failOpen;
        return m_open;
    }
    bool Close() override
    {
        std::scoped_lock lock(m_mutex);
        m_open = false;
        return true;
    }
    bool IsOpen() const override
    {
        std::scoped_lock lock(m_mutex);
        return m_open;
    }
    bool Write(std::span<const uint8_t> bytes) override
    {
        std::scoped_lock lock(m_mutex);
        if (!m_open || failWrite) {
            return false;
        }
        written.insert(written.end(), bytes.begin(), bytes.end());
        return true;
    }
    bool Read(std::span<uint8_t> out, std::chrono::milliseconds timeout, size_t& received) override;
    void Purge() override
    {
        std::scoped_lock lock(m_mutex);
        ++purges;
        if (purgeDropsQueued) {
            m_chunks.clear();
        }
    }

    void Queue(std::vector<uint8_t> chunk)
    {
        std::scoped_lock lock(m_mutex);
        m_chunks.push_back(std::move(chunk));
    }

    bool failOpen = false;
    bool failWrite = false;
    bool failRead = false;
    bool purgeDropsQueued = false;  // queued replies usually stand for bytes still to come
    int opens = 0;
    int purges = 0;
    std::string openedDevice;
    uint32_t openedBaud = 0;
    std::vector<uint8_t> written;

private:
    FakeTickClock* m_clock;
    mutable std::mutex m_mutex;
    bool m_open = false;
    std::deque<std::vector<uint8_t>> m_chunks;
};

inline bool FakeSerialPort::Read(std::span<uint8_t> out, std::chrono::milliseconds timeout,
                                 size_t& received)
{
    std::scoped_lock lock(m_mutex);
    received = 0;
    if (!m_open || failRead) {
        return false;
    }
    if (m_chunks.empty()) {
        if (m_clock != nullptr) {
            m_clock->Advance(static_cast<uint32_t>(timeout.count()));
        }
        return true;
    }
    auto& chunk = m_chunks.front();
    const size_t n = std::min(out.size(), chunk.size());
    std::copy_n(chunk.begin(), n, out.begin());
    chunk.erase(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    if (chunk.empty()) {
        m_chunks.pop_front();
    }
    received = n;
    return true;
}

}  // namespace orv
