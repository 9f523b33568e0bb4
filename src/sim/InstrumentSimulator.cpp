#include "sim/InstrumentSimulator.h"

#include "base/ByteOrder.h"
#include "calibration/CalibrationId.h"
#include "calibration/DefaultCalibration.h"
#include "instrument/WireProtocol.h"
#include "signal/InverseModel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace orv::sim {

namespace {

constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr size_t kCounterOffset = 170;

void StoreBlock(std::array<uint8_t, kReplySize>& reply, int i, const RawBlock& block)
{
    for (size_t k = 0; k < 4; ++k) {
        big_endian::Store24(&reply[kBlockSize * size_t(i) + 3 * k], uint32_t(block[k]) & 0xFFFFFF);
    }
}

}  // namespace

InstrumentSimulator::InstrumentSimulator(InstrumentOptions options) : m_options(std::move(options))
{
    CalibrationId id;
    DefaultCalibration(m_calibration, id);
    m_options.stations = std::max(1, m_options.stations);
    m_options.profiles = std::max(1, m_options.profiles);
}

InstrumentSimulator::~InstrumentSimulator() { Stop(); }

bool InstrumentSimulator::Start(std::string& error)
{
    Stop();
    if (!m_terminal.Open(error)) {
        return false;
    }
    if (!m_options.linkPath.empty() && !m_terminal.LinkAt(m_options.linkPath, error)) {
        m_terminal.Close();
        return false;
    }
    {
        std::scoped_lock lock(m_mutex);
        m_stop = false;
        m_slavePath = m_terminal.SlavePath();
    }
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void InstrumentSimulator::Stop()
{
    {
        std::scoped_lock lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_terminal.Close();
}

std::string InstrumentSimulator::DevicePath() const
{
    std::scoped_lock lock(m_mutex);
    return m_options.linkPath.empty() ? m_slavePath : m_options.linkPath;
}

void InstrumentSimulator::SetFaults(const InstrumentFaults& faults)
{
    std::scoped_lock lock(m_mutex);
    m_options.faults = faults;
    m_sinceFault = 0;
    m_faultTurn = 0;
}

void InstrumentSimulator::SetSerial(uint8_t serial)
{
    std::scoped_lock lock(m_mutex);
    m_options.serial = serial;
}

void InstrumentSimulator::SetBattery(uint32_t centivolts)
{
    std::scoped_lock lock(m_mutex);
    m_options.batteryCentivolts = centivolts;
}

void InstrumentSimulator::SetStation(double x, double y)
{
    std::scoped_lock lock(m_mutex);
    m_pinnedStation = std::make_pair(x, y);
}

void InstrumentSimulator::ResumeWalk()
{
    std::scoped_lock lock(m_mutex);
    m_pinnedStation.reset();
}

std::vector<uint8_t> InstrumentSimulator::LastReply() const
{
    std::scoped_lock lock(m_mutex);
    return m_lastReply;
}

bool InstrumentSimulator::WaitForReplies(int count, uint32_t timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_finished.load() < count) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::pair<double, double> InstrumentSimulator::StationPosition(int walkIndex) const
{
    const int n = m_options.stations;
    const int k = walkIndex % (n * m_options.profiles);
    const int profile = k / n;
    const int station = profile % 2 == 0 ? k % n : n - 1 - k % n;
    return {station * m_options.xStep, profile * m_options.yStep};
}

std::array<uint8_t, kReplySize> InstrumentSimulator::ReadingsAt(double x, double y,
                                                                uint16_t mask) const
{
    std::array<uint8_t, kReplySize> reply{};
    uint16_t present = 0;
    for (int i = 0; i < kFrequencyCount; ++i) {
        if ((mask & (1u << i)) == 0) {
            continue;
        }
        const double depth = m_options.depthScale * m_calibration.DepthFactor[size_t(i)];
        RawBlock block{};
        if (RawBlockForConductivity(m_options.ground.Conductivity(x, y, depth), i, m_calibration,
                                    block)) {
            StoreBlock(reply, i, block);
            present = uint16_t(present | (1u << i));
        }
    }
    little_endian::Store16(&reply[kMaskOffset], present);
    return reply;
}

bool InstrumentSimulator::Pause(uint32_t ms)
{
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop; });
}

void InstrumentSimulator::Serve()
{
    std::vector<uint8_t> pending;
    for (;;) {
        {
            std::scoped_lock lock(m_mutex);
            if (m_stop) {
                return;
            }
        }
        if (const uint32_t ms = m_dropRequest.exchange(0); ms > 0) {
            pending.clear();
            if (!Drop(ms)) {
                return;
            }
            continue;
        }
        uint8_t buffer[64];
        size_t got = 0;
        if (!m_terminal.ReadSome(buffer, kPoll, got)) {
            // The terminal failed under us; make a new one behind the same link.
            if (!Reopen()) {
                return;
            }
            continue;
        }
        if (got == 0) {
            // A client that died without closing the port would leave it exclusive for good,
            // since this side keeps the terminal open.
            m_terminal.AllowNewClients();
            continue;
        }
        pending.insert(pending.end(), buffer, buffer + got);
        // Frames start with STX 0xF1; anything else is line noise and skipped.
        while (pending.size() >= wire::kBatteryFrameSize) {
            if (pending[0] != wire::kStx || pending[1] != wire::kFixed1) {
                pending.erase(pending.begin());
                continue;
            }
            const uint8_t code = pending[2];
            size_t size = 0;
            if (code == wire::kMeasureCode || code == wire::kSeriesCode) {
                size = wire::kMeasureFrameSize;
            } else if (code == wire::kBatteryCode) {
                size = wire::kBatteryFrameSize;
            } else {
                pending.erase(pending.begin());
                continue;
            }
            if (pending.size() < size) {
                break;
            }
            if (pending[size - 1] != wire::kEtx) {
                pending.erase(pending.begin());
                continue;
            }
            const std::vector<uint8_t> frame(pending.begin(), pending.begin() + long(size));
            pending.erase(pending.begin(), pending.begin() + long(size));
            ++m_commands;
            HandleFrame(frame);
        }
    }
}

void InstrumentSimulator::HandleFrame(const std::vector<uint8_t>& frame)
{
    const uint8_t code = frame[2];
    if (code == wire::kBatteryCode) {
        uint32_t centivolts = 0;
        {
            std::scoped_lock lock(m_mutex);
            centivolts = m_options.batteryCentivolts;
        }
        if (m_options.verbose) {
            std::fprintf(stderr, "battery: %u.%02u V\n", centivolts / 100, centivolts % 100);
        }
        SendReply({uint8_t(centivolts >> 8), uint8_t(centivolts)}, false);
        return;
    }

    std::array<uint8_t, kReplySize> reply{};
    const int number = m_measurements.load() + 1;
    uint8_t serial = 0;
    int walkIndex = 0;
    std::optional<std::pair<double, double>> pinned;
    {
        std::scoped_lock lock(m_mutex);
        if (m_options.switchSerialAfter >= 0 && number > m_options.switchSerialAfter) {
            m_options.serial = m_options.switchSerialTo;
            m_options.switchSerialAfter = -1;
        }
        serial = m_options.serial;
        walkIndex = m_walkIndex;
        pinned = m_pinnedStation;
    }
    auto position = [&](int k) { return pinned ? *pinned : StationPosition(walkIndex + k); };
    if (code == wire::kMeasureCode) {
        const uint16_t mask = uint16_t((frame[6] << 8 | frame[7]) & wire::kAllFrequencies);
        const auto [x, y] = position(0);
        reply = ReadingsAt(x, y, mask);
        if (m_options.verbose) {
            std::fprintf(stderr, "measure %d at x %g, y %g, mask 0x%04X\n", number, x, y, mask);
        }
        walkIndex += 1;
    } else {
        // A tracer series: the first frequency at the next 14 stations of the walk.
        for (int k = 0; k < kFrequencyCount; ++k) {
            const auto [x, y] = position(k);
            const auto one = ReadingsAt(x, y, 1);
            std::copy_n(one.begin(), kBlockSize, reply.begin() + long(kBlockSize) * k);
        }
        little_endian::Store16(&reply[kMaskOffset], wire::kAllFrequencies);
        if (m_options.verbose) {
            std::fprintf(stderr, "series %d\n", number);
        }
        walkIndex += kFrequencyCount;
    }
    little_endian::Store32(&reply[kCounterOffset], uint32_t(number));
    reply[kSerialOffset] = serial;
    {
        std::scoped_lock lock(m_mutex);
        m_walkIndex = walkIndex;
    }
    ++m_measurements;
    SendReply(std::vector<uint8_t>(reply.begin(), reply.end()), true);
}

void InstrumentSimulator::SendReply(std::vector<uint8_t> reply, bool isMeasurement)
{
    DeliverReply(std::move(reply), isMeasurement);
    ++m_finished;
}

namespace {

// The fault kinds set in `faults`, each alone, in a fixed order.
std::vector<InstrumentFaults> FaultKinds(const InstrumentFaults& faults)
{
    std::vector<InstrumentFaults> kinds;
    const auto add = [&](auto set) {
        InstrumentFaults one;
        set(one);
        kinds.push_back(one);
    };
    if (faults.replyDelayMs > 0) {
        add([&](InstrumentFaults& f) { f.replyDelayMs = faults.replyDelayMs; });
    }
    if (faults.pieces > 1) {
        add([&](InstrumentFaults& f) {
            f.pieces = faults.pieces;
            f.piecePauseMs = faults.piecePauseMs;
        });
    }
    if (faults.dropBytes > 0) {
        add([&](InstrumentFaults& f) { f.dropBytes = faults.dropBytes; });
    }
    if (faults.corruptBytes > 0) {
        add([&](InstrumentFaults& f) { f.corruptBytes = faults.corruptBytes; });
    }
    if (faults.emptyMask) {
        add([](InstrumentFaults& f) { f.emptyMask = true; });
    }
    if (faults.closeAfterBytes >= 0) {
        add([&](InstrumentFaults& f) { f.closeAfterBytes = faults.closeAfterBytes; });
    }
    if (faults.neverAnswer) {
        add([](InstrumentFaults& f) { f.neverAnswer = true; });
    }
    return kinds;
}

}  // namespace

void InstrumentSimulator::DeliverReply(std::vector<uint8_t> reply, bool isMeasurement)
{
    InstrumentFaults faults;
    {
        std::scoped_lock lock(m_mutex);
        InstrumentFaults& current = m_options.faults;
        bool hit = current.replies != 0;
        if (hit && current.every > 0) {
            hit = isMeasurement && ++m_sinceFault >= current.every;
            const std::vector<InstrumentFaults> kinds = FaultKinds(current);
            if (hit && !kinds.empty()) {
                m_sinceFault = 0;
                faults = kinds[size_t(m_faultTurn++) % kinds.size()];
            }
        } else if (hit) {
            faults = current;
        }
        if (hit && current.replies > 0 && --current.replies == 0) {
            current = InstrumentFaults{};
        }
    }
    if (isMeasurement) {
        if (faults.emptyMask) {
            reply[kMaskOffset] = 0;
            reply[kMaskOffset + 1] = 0;
        }
        for (int i = 0; i < std::min(faults.corruptBytes, kFrequencyCount); ++i) {
            reply[kBlockSize * size_t(i)] ^= 0xFF;
        }
    }
    {
        std::scoped_lock lock(m_mutex);
        m_lastReply = reply;
    }
    ++m_replies;
    if (faults.neverAnswer) {
        return;
    }
    if (faults.replyDelayMs > 0 && !Pause(faults.replyDelayMs)) {
        return;
    }
    if (faults.dropBytes > 0) {
        const size_t drop = std::min(reply.size(), size_t(faults.dropBytes));
        const size_t from = (reply.size() - drop) / 2;
        reply.erase(reply.begin() + long(from), reply.begin() + long(from + drop));
    }
    size_t limit = reply.size();
    const bool closeMidway = faults.closeAfterBytes >= 0;
    if (closeMidway) {
        limit = std::min(limit, size_t(faults.closeAfterBytes));
    }
    const size_t pieces = size_t(std::max(1, faults.pieces));
    const size_t pieceSize = (limit + pieces - 1) / pieces;
    for (size_t start = 0; start < limit; start += pieceSize) {
        if (start > 0 && faults.piecePauseMs > 0 && !Pause(faults.piecePauseMs)) {
            return;
        }
        const size_t n = std::min(pieceSize, limit - start);
        if (!m_terminal.Write(std::span<const uint8_t>(reply).subspan(start, n))) {
            return;
        }
    }
    if (closeMidway) {
        // Let the bytes reach the client before the terminal goes.
        Pause(20);
        Reopen();
    }
}

void InstrumentSimulator::DropFor(uint32_t ms) { m_dropRequest = ms > 0 ? ms : 1; }

bool InstrumentSimulator::Drop(uint32_t ms)
{
    m_dropped = true;
    m_terminal.Close();
    const bool stayed = Pause(ms);
    bool back = false;
    if (stayed) {
        std::string error;
        back = m_terminal.Open(error) &&
               (m_options.linkPath.empty() || m_terminal.LinkAt(m_options.linkPath, error));
        if (!back) {
            std::fprintf(stderr, "orvsim instrument: %s\n", error.c_str());
        }
        std::scoped_lock lock(m_mutex);
        m_slavePath = m_terminal.SlavePath();
    }
    m_dropped = false;
    return stayed && back;
}

bool InstrumentSimulator::Reopen()
{
    std::string error;
    const bool ok = m_terminal.Open(error);
    if (!ok) {
        std::fprintf(stderr, "orvsim instrument: %s\n", error.c_str());
    }
    std::scoped_lock lock(m_mutex);
    m_slavePath = m_terminal.SlavePath();
    return ok;
}

}  // namespace orv::sim
