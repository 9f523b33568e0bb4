#include "survey/SessionFormat.h"

#include "base/ByteOrder.h"
#include "base/CodePage.h"
#include "base/MeasurementSlot.h"
#include "config/Configuration.h"

#include <algorithm>

namespace orv::session {

namespace {

const CodePage& TextCodePage()
{
    static const CodePage codePage = [] {
        std::string warning;
        return CodePage::FromEnvironment(warning);
    }();
    return codePage;
}

void AppendText(std::vector<uint8_t>& out, std::string_view utf8)
{
    std::string bytes = TextToFile(utf8);
    size_t n = std::min<size_t>(bytes.size(), kTextSize - 1);
    if (TextCodePage().GetKind() == CodePage::Kind::Utf8 && n < bytes.size()) {
        // Never cut a character in two.
        while (n > 0 && (uint8_t(bytes[n]) & 0xC0) == 0x80) {
            --n;
        }
    }
    out.push_back(uint8_t(n));
    out.insert(out.end(), bytes.begin(), bytes.begin() + std::ptrdiff_t(n));
    out.insert(out.end(), kTextSize - 1 - n, uint8_t{0});
}

}  // namespace

std::string TextToFile(std::string_view utf8) { return TextCodePage().FromUtf8(utf8); }

std::string TextFromFile(std::string_view bytes) { return TextCodePage().ToUtf8(bytes); }

void Append16(std::vector<uint8_t>& out, uint16_t v)
{
    uint8_t b[2];
    little_endian::Store16(b, v);
    out.insert(out.end(), b, b + 2);
}

void Append32(std::vector<uint8_t>& out, uint32_t v)
{
    uint8_t b[4];
    little_endian::Store32(b, v);
    out.insert(out.end(), b, b + 4);
}

void AppendDouble(std::vector<uint8_t>& out, double v)
{
    uint8_t b[8];
    little_endian::StoreDouble(b, v);
    out.insert(out.end(), b, b + 8);
}

void TakeFrequenciesFromFirstValidSlot(Configuration& config,
                                       std::span<const MeasurementSlot> slots)
{
    for (const MeasurementSlot& slot : slots) {
        if (!slot.IsEmpty()) {
            for (int j = 0; j < kFrequencyCount; ++j) {
                config.UsedFrequencies[size_t(j)] = slot.IsFrequencyMissing(j) ? 0 : 1;
            }
            return;
        }
    }
}

void AppendHeader(const Configuration& config, const CalibrationId& identity, uint16_t kind,
                  std::vector<uint8_t>& out)
{
    out.insert(out.end(), std::begin(kMagic), std::end(kMagic));
    Append16(out, 1);
    Append16(out, 0);
    AppendText(out, config.SessionText1);
    AppendText(out, config.SessionText2);
    AppendText(out, config.SessionText3);
    out.push_back(identity.Day);
    out.push_back(identity.Month);
    Append16(out, identity.Year);
    Append16(out, identity.Serial);
    Append16(out, kind);
    // The body offset is the position just after this field.
    Append32(out, uint32_t(out.size() + 4));
}

}  // namespace orv::session
