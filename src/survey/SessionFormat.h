#pragma once
// The layout of the session file ("*.orv"), shared by the writers of the two datasets and the
// reader. Integers are little-endian, doubles IEEE 754 little-endian; the slots hold the
// instrument's reply unchanged (its 24-bit values big-endian).
//
//   common header, 788 bytes
//     0    4    "ORV" 0
//     4    2    format word 1 (written 1, ignored)
//     6    2    format word 2 (written 0, ignored)
//     8    256  SessionText1: length byte L, L bytes of 8-bit text, zeros
//     264  256  SessionText2
//     520  256  SessionText3
//     776  1    calibration day      777 1 month     778 2 year     780 2 instrument serial
//     782  2    kind: 0 grid survey, 1 track survey (bit 0)
//     784  4    body offset (788)
//   grid body: reserved 1, reserved 2, stations, profiles (4 each), x step, y step (doubles),
//     open-ended (4, bit 0), slots offset (4, 828), then stations x profiles slots of 180 bytes
//   track body: count n, track flags (bit 1: no positions follow the slots), slots offset (800),
//     then n stations of 196 bytes: slot (180), longitude, latitude (doubles); a station
//     without a GPS position has longitude 0 and latitude 0 (local coordinates are not stored:
//     the reader computes them afresh)

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class Configuration;
struct CalibrationId;
struct MeasurementSlot;

namespace session {

constexpr uint8_t kMagic[4] = {'O', 'R', 'V', 0};
constexpr size_t kTextSize = 256;
constexpr size_t kText1Offset = 8;
constexpr size_t kIdentityOffset = 776;
constexpr size_t kKindOffset = 782;
constexpr size_t kBodyOffsetField = 784;
constexpr size_t kHeaderSize = 788;

constexpr size_t kGridBodySize = 40;  // up to and including the slots offset
constexpr size_t kTrackBodySize = 12;
constexpr size_t kTrackStationSize = 196;

// The pieces in which a writer hands the image on: big enough that writing costs few calls,
// small enough to stay in the cache between building a piece and writing it.
constexpr size_t kImagePiece = 256 * 1024;

// Appends `count` stations of `stride` bytes to the image being built in `out`, station i
// written in place by put(i, p). Whenever `out` holds a whole piece it goes to write(out) and
// starts again; the last, partial piece stays in `out` for the caller. False when a write fails.
template <typename Write, typename Put>
[[nodiscard]] bool AppendStations(std::vector<uint8_t>& out, int count, size_t stride,
                                  const Write& write, const Put& put)
{
    for (int i = 0; i < count;) {
        if (out.size() >= kImagePiece) {
            if (!write(out)) {
                return false;
            }
            out.clear();
        }
        // As many stations as reach the end of the piece.
        const int batch = std::min(count - i, int((kImagePiece - out.size()) / stride) + 1);
        const size_t at = out.size();
        out.resize(at + size_t(batch) * stride);
        for (uint8_t* p = out.data() + at; p != out.data() + out.size(); p += stride, ++i) {
            put(i, p);
        }
    }
    return true;
}

constexpr uint16_t kKindGrid = 0;
constexpr uint16_t kKindTrack = 1;
constexpr uint32_t kTrackNoPositions = 2;

// The 8-bit code page of the texts: ORVCONTROL_CODEPAGE, else windows-1251.
std::string TextToFile(std::string_view utf8);
std::string TextFromFile(std::string_view bytes);

// The common header: texts of `config`, the calibration identity, the kind and the body offset.
void AppendHeader(const Configuration& config, const CalibrationId& identity, uint16_t kind,
                  std::vector<uint8_t>& out);

// The first valid slot sets UsedFrequencies: frequency j is active exactly when that slot
// holds it. Nothing changes without a valid slot.
void TakeFrequenciesFromFirstValidSlot(Configuration& config,
                                       std::span<const MeasurementSlot> slots);

// Appends a little-endian field.
void Append16(std::vector<uint8_t>& out, uint16_t v);
void Append32(std::vector<uint8_t>& out, uint32_t v);
void AppendDouble(std::vector<uint8_t>& out, double v);

}  // namespace session

}  // namespace orv
