// The CRC identifies a session file to its journal, so it must be zlib's CRC-32 to the bit
// whatever path computes it: the folded ones (128-bit lanes, 512-bit lanes for long runs where the
// processor has them) and zlib's own for short pieces and tails.

#include "base/Crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>
#include <vector>
#include <zlib.h>

namespace orv {
namespace {

uint32_t Zlib(const uint8_t* p, size_t n, uint32_t crc = 0)
{
    return static_cast<uint32_t>(::crc32_z(crc, p, n));
}

TEST(Crc32, IsZlibsCrcForEveryLengthAlignmentAndChain)
{
    // The check value of CRC-32/ISO-HDLC.
    const std::string_view check = "123456789";
    EXPECT_EQ(Crc32({reinterpret_cast<const uint8_t*>(check.data()), check.size()}), 0xCBF43926u);

    std::mt19937 random(32);
    std::vector<uint8_t> data(3 << 20);
    for (uint8_t& b : data) {
        b = uint8_t(random());
    }
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 1100; ++n) {
        lengths.push_back(n);
    }
    lengths.insert(lengths.end(),
                   {1279, 1280, 1281, 4095, 4096, 4097, 65536 + 7, 262144, data.size() - 64});
    for (const size_t n : lengths) {
        for (const size_t offset : {size_t{0}, size_t{1}, size_t{13}, size_t{63}}) {
            SCOPED_TRACE(std::to_string(n) + " bytes at " + std::to_string(offset));
            const uint8_t* p = data.data() + offset;
            ASSERT_EQ(Crc32({p, n}), Zlib(p, n));
            ASSERT_EQ(Crc32({p, n}, 0x12345678u), Zlib(p, n, 0x12345678u));
        }
    }
    // Chained over uneven pieces, as a save computes it.
    uint32_t chained = 0;
    for (size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece * 3 + 17) {
        const size_t n = std::min(piece, data.size() - at);
        chained = Crc32({data.data() + at, n}, chained);
    }
    EXPECT_EQ(chained, Zlib(data.data(), data.size()));
}

}  // namespace
}  // namespace orv
