#pragma once
// Frames and checks NMEA 0183 sentences from the GPS receiver and keeps the latest values of
// GGA, GSA, GSV and RMC in one GpsStatus.
//
//     $GPRMC,123519.500,A,4807.038,N,01131.000,E,0.13,309.62,120598,,*10<CR><LF>
//
// A sentence runs from '$' to the two hex digits after '*', or to CR when it has no '*' (then it
// is taken unchecked, as older receivers send it). The checksum is the XOR of every byte after
// '$' up to the '*'. A sentence with a wrong checksum, an address of 8 or more characters or
// 256 or more characters after the address is dropped silently; a '$' always starts a new
// sentence, so one cut short by a lost byte costs only itself.
//
// Talkers: GGA, GSA and RMC are taken from "GP" (GPS) and "GN" (combined GNSS, what receivers
// with several constellations send); GSV from "GP" only, since the satellite table is the GPS
// one. Every other sentence is only counted.
//
// One parser serves the program: the reader thread feeds it, the GPS page takes snapshots. A
// lock guards all of it; Feed holds it for a whole chunk.

#include "gps/GpsStatus.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>

namespace orv {

class TickClock;

class NmeaParser
{
public:
    // The clock stamps each chunk (`rmcTick`); it is read once per Feed.
    explicit NmeaParser(TickClock& clock);
    NmeaParser(const NmeaParser&) = delete;
    NmeaParser& operator=(const NmeaParser&) = delete;

    // Forgets any half-read sentence and puts the status to its reset values.
    void Reset();
    // Forgets a half-read sentence and keeps the status: the first bytes read after the port
    // was opened again continue no sentence of before.
    void DropPartialSentence();
    // Frames and parses a chunk as read from the port. Sentences may span chunks. When `out` is
    // given it receives the status as it stands after the chunk.
    void Feed(std::span<const uint8_t> bytes, GpsStatus* out = nullptr);
    void Snapshot(GpsStatus& out) const;
    [[nodiscard]] GpsStatus Snapshot() const;

    static constexpr size_t kAddressSize = 8;  // an address holds at most 7 characters
    static constexpr size_t kFieldSize = 256;  // at most 255 characters after the address

private:
    enum class State : uint8_t { Hunt, Address, Fields, Checksum1, Checksum2 };

    void Step(uint8_t b);
    const uint8_t* TakeFieldText(const uint8_t* p, const uint8_t* end);
    static const uint8_t* FindDollar(const uint8_t* p, const uint8_t* end);
    void Dispatch();
    void SplitFields();
    void ParseGga();
    void ParseGsa();
    void ParseGsv();
    void ParseRmc();
    [[nodiscard]] std::string_view Field(size_t i) const;

    TickClock& m_clock;
    mutable std::mutex m_mutex;
    State m_state = State::Hunt;
    uint8_t m_checksum = 0;
    uint8_t m_received = 0;
    uint16_t m_count = 0;
    uint8_t m_addressLength = 0;
    std::array<char, kAddressSize> m_address{};
    std::array<char, kFieldSize> m_field{};
    uint32_t m_lastChunkTick = 0;
    GpsStatus m_status;

    // Fields of the sentence being dispatched, 1-based as NMEA numbers them; valid only during
    // Dispatch. The last one read is GSV's 19th.
    static constexpr size_t kMaxFields = 20;
    std::array<std::string_view, kMaxFields> m_fields{};
    size_t m_fieldCount = 0;
};

}  // namespace orv
