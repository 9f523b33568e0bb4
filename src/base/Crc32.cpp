#include "base/Crc32.h"

#include <zlib.h>

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <immintrin.h>
#define ORV_CRC32_CLMUL 1
#endif

namespace orv {

namespace {

#ifdef ORV_CRC32_CLMUL

#define ORV_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))
#define ORV_CLMUL512_TARGET __attribute__((target("pclmul,sse4.1,avx512f,vpclmulqdq")))

// a folded forward over 128 bits by the constants k, plus the next 16 bytes.
ORV_CLMUL_TARGET inline __m128i Fold(__m128i a, __m128i next, __m128i k)
{
    const __m128i low = _mm_clmulepi64_si128(a, k, 0x00);
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x11), next), low);
}

ORV_CLMUL_TARGET inline __m128i Load(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The constants of a fold over a distance of d bits are x^(d+32) and x^(d-32) mod P, bit-reflected
// and shifted left by one (the low and the high 64 bits of a lane are multiplied by them).

// Four 512-bit lanes, 256 bytes a step (x^2080, x^2016), then folded into one 128-bit lane:
// the lanes into each other 512 bits apart (x^544, x^480), the four parts of the last one 128
// bits apart (x^160, x^96). `length` is at least 256; whole blocks of 256 bytes are taken.
ORV_CLMUL512_TARGET inline __m512i Load512(const uint8_t* p) { return _mm512_loadu_si512(p); }

ORV_CLMUL512_TARGET inline __m512i Fold512(__m512i a, __m512i next, __m512i k)
{
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(a, k, 0x00),
                                     _mm512_clmulepi64_epi128(a, k, 0x11), next, 0x96);
}

ORV_CLMUL512_TARGET __m128i FoldBlocks512(const uint8_t*& p, size_t& length, uint32_t crc)
{
    const __m512i k2048 = _mm512_set_epi64(0x1322d1430, 0x11542778a, 0x1322d1430, 0x11542778a,
                                           0x1322d1430, 0x11542778a, 0x1322d1430, 0x11542778a);
    __m512i a = _mm512_xor_si512(
        Load512(p), _mm512_set_epi32(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, int(crc)));
    __m512i b = Load512(p + 64);
    __m512i c = Load512(p + 128);
    __m512i d = Load512(p + 192);
    p += 256;
    length -= 256;
    while (length >= 256) {
        a = Fold512(a, Load512(p), k2048);
        b = Fold512(b, Load512(p + 64), k2048);
        c = Fold512(c, Load512(p + 128), k2048);
        d = Fold512(d, Load512(p + 192), k2048);
        p += 256;
        length -= 256;
    }
    const __m512i k512 = _mm512_set_epi64(0x1c6e41596, 0x154442bd4, 0x1c6e41596, 0x154442bd4,
                                          0x1c6e41596, 0x154442bd4, 0x1c6e41596, 0x154442bd4);
    a = Fold512(Fold512(Fold512(a, b, k512), c, k512), d, k512);
    alignas(64) uint8_t lanes[64];
    _mm512_store_si512(lanes, a);
    const __m128i k128 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    __m128i x = Load(lanes);
    x = Fold(x, Load(lanes + 16), k128);
    x = Fold(x, Load(lanes + 32), k128);
    return Fold(x, Load(lanes + 48), k128);
}

bool HaveClmul512()
{
    static const bool have =
        __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("avx512f");
    return have;
}

// Folding with carry-less multiplication (Gopal et al., "Fast CRC Computation for Generic
// Polynomials Using PCLMULQDQ Instruction", Intel 2009), the constants of the bit-reflected
// domain for 0xEDB88320 as the Linux kernel and Chromium's zlib use them. Four 128-bit lanes
// are folded 64 bytes at a time, then into one lane, then reduced to 32 bits (Barrett). `crc`
// is the working value (the CRC inverted); `length` is at least 64 and a multiple of 16.
ORV_CLMUL_TARGET uint32_t FoldedCrc(const uint8_t* p, size_t length, uint32_t crc)
{
    alignas(16) static constexpr uint64_t kK1K2[2] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static constexpr uint64_t kK3K4[2] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static constexpr uint64_t kK5K0[2] = {0x0163cd6124, 0x0000000000};
    alignas(16) static constexpr uint64_t kPoly[2] = {0x01db710641, 0x01f7011641};
    __m128i x1;
    __m128i x2;
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kK3K4));
    // The wide lanes for long runs only, where their set-up pays (and so that both ways are
    // taken by the tests on a machine that has them).
    if (length >= 1024 && HaveClmul512()) {
        x1 = FoldBlocks512(p, length, crc);
    } else {
        x1 = Load(p);
        x2 = Load(p + 16);
        __m128i x3 = Load(p + 32);
        __m128i x4 = Load(p + 48);
        x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(int(crc)));
        const __m128i k512 = _mm_load_si128(reinterpret_cast<const __m128i*>(kK1K2));
        p += 64;
        length -= 64;
        while (length >= 64) {
            x1 = Fold(x1, Load(p), k512);
            x2 = Fold(x2, Load(p + 16), k512);
            x3 = Fold(x3, Load(p + 32), k512);
            x4 = Fold(x4, Load(p + 48), k512);
            p += 64;
            length -= 64;
        }
        x1 = Fold(x1, x2, k);
        x1 = Fold(x1, x3, k);
        x1 = Fold(x1, x4, k);
    }
    while (length >= 16) {
        x1 = Fold(x1, Load(p), k);
        p += 16;
        length -= 16;
    }

    // 128 bits to 64, 64 to 32, then the Barrett reduction.
    const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kK5K0));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k, 0x00), x2);
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kPoly));
    x2 = _mm_and_si128(x1, mask32);
    x2 = _mm_clmulepi64_si128(x2, k, 0x10);
    x2 = _mm_and_si128(x2, mask32);
    x2 = _mm_clmulepi64_si128(x2, k, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return uint32_t(_mm_extract_epi32(x1, 1));
}

bool HaveClmul()
{
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return have;
}

#endif

}  // namespace

uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc)
{
    const uint8_t* p = bytes.data();
    size_t length = bytes.size();
#ifdef ORV_CRC32_CLMUL
    // Short pieces are not worth the set-up; zlib takes them and every tail.
    if (length >= 256 && HaveClmul()) {
        const size_t folded = length & ~size_t{15};
        crc = ~FoldedCrc(p, folded, ~crc);
        p += folded;
        length -= folded;
    }
#endif
    return static_cast<uint32_t>(::crc32_z(crc, p, length));
}

}  // namespace orv
