#include "gps/NmeaParser.h"

#include "base/TickClock.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ORV_NMEA_SSE2 1
#endif

namespace orv {

namespace {

constexpr int HexDigit(uint8_t c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    // Upper case is the rule, but some handhelds write the digits in lower case.
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string_view SkipBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    return s;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Decimal text as the receiver writes it ("4807.038", "-12.5", "000115.4"). Garbage and
// values out of range read as 0, never as infinity or NaN.
//
// What receivers send has few digits: the digits as one integer m < 2^53 and k <= 22 digits
// after the point give m / 10^k, one correctly rounded division of two exact doubles, which is
// the very double from_chars gives. Anything longer goes to from_chars.
double ToDouble(std::string_view s)
{
    s = SkipBlanks(s);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    const size_t first = !s.empty() && s.front() == '-' ? 1 : 0;
    if (s.size() <= first || !((s[first] >= '0' && s[first] <= '9') || s[first] == '.')) {
        return 0.0;
    }
    uint64_t mantissa = 0;
    size_t digits = 0;
    size_t i = first;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        mantissa = mantissa * 10 + uint64_t(s[i] - '0');
        ++digits;
    }
    size_t fraction = 0;
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            mantissa = mantissa * 10 + uint64_t(s[i] - '0');
            ++fraction;
        }
        digits += fraction;
    }
    if (digits == 0) {
        return 0.0;  // "." or "-."
    }
    // 19 digits cannot overflow the 64-bit mantissa.
    if (digits <= 19 && mantissa <= (uint64_t{1} << 53) && fraction <= 22) {
        const double v = double(mantissa) / kExactPowersOfTen[fraction];
        return first != 0 ? -v : v;
    }
    double v = 0.0;
    const auto result = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::fixed);
    if (result.ec != std::errc() || !std::isfinite(v)) {
        return 0.0;
    }
    return v;
}

// Integer text; garbage reads as 0 and large values saturate.
long ToLong(std::string_view s)
{
    s = SkipBlanks(s);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    bool negative = false;
    if (!s.empty() && s.front() == '-') {
        negative = true;
        s.remove_prefix(1);
    }
    long v = 0;
    for (const char c : s) {
        if (c < '0' || c > '9') {
            break;
        }
        v = std::min(v * 10 + (c - '0'), 1000000000L);
    }
    return negative ? -v : v;
}

std::string_view Part(std::string_view s, size_t pos, size_t n = std::string_view::npos)
{
    return pos < s.size() ? s.substr(pos, n) : std::string_view();
}

template <typename T>
T Clamped(long v)
{
    return T(std::clamp<long>(v, 0, long{std::numeric_limits<T>::max()}));
}

// Two-digit groups as in "hhmmss" and "ddmmyy".
uint8_t TwoDigits(std::string_view s, size_t pos)
{
    return Clamped<uint8_t>(ToLong(Part(s, pos, 2)));
}

// hhmmss[.sss]: milliseconds from up to three digits after the point, right-padded with 0.
void ParseTime(std::string_view s, uint8_t& hour, uint8_t& minute, uint8_t& second,
               uint16_t& millis)
{
    hour = TwoDigits(s, 0);
    minute = TwoDigits(s, 2);
    second = TwoDigits(s, 4);
    millis = 0;
    if (s.size() > 6 && s[6] == '.') {
        int ms = 0;
        int digits = 0;
        for (size_t i = 7; i < s.size() && digits < 3 && s[i] >= '0' && s[i] <= '9'; ++i) {
            ms = ms * 10 + (s[i] - '0');
            ++digits;
        }
        for (; digits < 3; ++digits) {
            ms *= 10;
        }
        millis = uint16_t(ms);
    }
}

// ddmm.mmmm (degreeDigits 2) or dddmm.mmmm (3); 'S' or 'W' negates. An absent value keeps the
// old one, whatever the hemisphere says.
void ParseCoordinate(std::string_view value, std::string_view hemisphere, size_t degreeDigits,
                     char negative, double& out)
{
    if (value.empty()) {
        return;
    }
    double v =
        double(ToLong(Part(value, 0, degreeDigits))) + ToDouble(Part(value, degreeDigits)) / 60.0;
    if (!hemisphere.empty() && hemisphere.front() == negative) {
        v = -v;
    }
    out = v;
}

uint32_t SecondsOfDay(uint8_t h, uint8_t m, uint8_t s) { return h * 3600u + m * 60u + s; }

}  // namespace

NmeaParser::NmeaParser(TickClock& clock) : m_clock(clock) {}

void NmeaParser::Reset()
{
    std::scoped_lock lock(m_mutex);
    m_state = State::Hunt;
    m_status = GpsStatus{};
}

void NmeaParser::DropPartialSentence()
{
    std::scoped_lock lock(m_mutex);
    m_state = State::Hunt;
}

void NmeaParser::Feed(std::span<const uint8_t> bytes, GpsStatus* out)
{
    const uint32_t now = m_clock.Now();
    std::scoped_lock lock(m_mutex);
    m_lastChunkTick = now;
    const uint8_t* p = bytes.data();
    const uint8_t* const end = p + bytes.size();
    while (p != end) {
        // Most bytes are field text or the gaps between sentences: those runs are taken whole;
        // every byte that changes the state goes through Step.
        if (m_state == State::Fields) {
            p = TakeFieldText(p, end);
            if (p == end) {
                break;
            }
            if (m_state != State::Fields) {
                continue;  // the field text ran over its limit
            }
        } else if (m_state == State::Hunt) {
            p = FindDollar(p, end);
            if (p == end) {
                break;
            }
        }
        Step(*p++);
    }
    if (out != nullptr) {
        *out = m_status;
    }
}

void NmeaParser::Snapshot(GpsStatus& out) const
{
    std::scoped_lock lock(m_mutex);
    out = m_status;
}

GpsStatus NmeaParser::Snapshot() const
{
    std::scoped_lock lock(m_mutex);
    return m_status;
}

// The gap before the next sentence is usually "<CR><LF>": look at a few bytes before paying
// for a call.
const uint8_t* NmeaParser::FindDollar(const uint8_t* p, const uint8_t* end)
{
    for (int i = 0; i < 4 && p != end; ++i, ++p) {
        if (*p == '$') {
            return p;
        }
    }
    if (p == end) {
        return end;
    }
    const void* dollar = std::memchr(p, '$', size_t(end - p));
    return dollar != nullptr ? static_cast<const uint8_t*>(dollar) : end;
}

// Takes field text up to the first '$', '*' or CR, to the end of the chunk, or until the field
// buffer is full, exactly as Step takes it byte by byte: each byte is XORed into the checksum
// and stored, and the sentence is dropped when the text reaches kFieldSize. Returns the first
// byte not taken.
const uint8_t* NmeaParser::TakeFieldText(const uint8_t* p, const uint8_t* end)
{
    const size_t limit = std::min(size_t(end - p), kFieldSize - m_count);
    uint8_t* to = reinterpret_cast<uint8_t*>(m_field.data()) + m_count;
    uint8_t checksum = m_checksum;
    size_t run = 0;
#ifdef ORV_NMEA_SSE2
    // Sixteen bytes at a time; a special byte at position k of a block keeps only the k bytes
    // before it (the rest of the block is stored too, as garbage beyond the count, always
    // inside the buffer since run + 16 <= limit <= kFieldSize - m_count).
    // 16 bytes from kPrefixMasks + 16 - k keep the first k bytes of a block.
    static constexpr uint8_t kPrefixMasks[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const __m128i dollar = _mm_set1_epi8('$');
    const __m128i star = _mm_set1_epi8('*');
    const __m128i cr = _mm_set1_epi8('\r');
    __m128i sum = _mm_setzero_si128();
    while (run + 16 <= limit) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + run));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + run), v);
        const __m128i special =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, dollar), _mm_cmpeq_epi8(v, star)),
                         _mm_cmpeq_epi8(v, cr));
        const unsigned mask = unsigned(_mm_movemask_epi8(special));
        if (mask != 0) {
            const int k = std::countr_zero(mask);
            const __m128i keep =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPrefixMasks + 16 - k));
            sum = _mm_xor_si128(sum, _mm_and_si128(v, keep));
            run += size_t(k);
            break;
        }
        sum = _mm_xor_si128(sum, v);
        run += 16;
    }
    sum = _mm_xor_si128(sum, _mm_srli_si128(sum, 8));
    sum = _mm_xor_si128(sum, _mm_srli_si128(sum, 4));
    sum = _mm_xor_si128(sum, _mm_srli_si128(sum, 2));
    sum = _mm_xor_si128(sum, _mm_srli_si128(sum, 1));
    checksum ^= uint8_t(_mm_cvtsi128_si32(sum));
#endif
    // The bytes after the last whole block; after a special byte found above, nothing.
    for (; run < limit; ++run) {
        const uint8_t b = p[run];
        if (b == '$' || b == '*' || b == '\r') {
            break;
        }
        checksum ^= b;
        to[run] = b;
    }
    m_checksum = checksum;
    m_count = uint16_t(m_count + run);
    if (m_count >= kFieldSize) {
        m_state = State::Hunt;
    }
    return p + run;
}

void NmeaParser::Step(uint8_t b)
{
    // '$' is reserved as the start of a sentence: seen anywhere, it means the sentence before
    // lost its end ("$GPGGA,030130$GPGLL,...", "$$GNGSA,..."), and the new one is still good.
    if (b == '$') {
        m_checksum = 0;
        m_count = 0;
        m_state = State::Address;
        return;
    }
    switch (m_state) {
        case State::Hunt:
            break;
        case State::Address:
            if (b == ',' || b == '*') {
                m_addressLength = uint8_t(m_count);
                m_checksum ^= b;
                m_count = 0;
                m_state = State::Fields;
                break;
            }
            m_address[m_count] = char(b);
            ++m_count;
            m_checksum ^= b;
            if (m_count >= kAddressSize) {
                m_state = State::Hunt;
            }
            break;
        case State::Fields:
            if (b == '*') {
                m_state = State::Checksum1;
                break;
            }
            if (b == '\r') {
                // No checksum: taken as it is.
                Dispatch();
                m_state = State::Hunt;
                break;
            }
            m_checksum ^= b;
            m_field[m_count] = char(b);
            ++m_count;
            if (m_count >= kFieldSize) {
                m_state = State::Hunt;
            }
            break;
        case State::Checksum1:
            m_received = b;
            m_state = State::Checksum2;
            break;
        case State::Checksum2: {
            const int high = HexDigit(m_received);
            const int low = HexDigit(b);
            if (high >= 0 && low >= 0 && high * 16 + low == m_checksum) {
                Dispatch();
            }
            m_state = State::Hunt;
            break;
        }
    }
}

std::string_view NmeaParser::Field(size_t i) const
{
    return i >= 1 && i <= m_fieldCount ? m_fields[i - 1] : std::string_view();
}

void NmeaParser::Dispatch()
{
    ++m_status.sentenceCount;
    if (m_addressLength != 5) {
        return;
    }
    const std::string_view address(m_address.data(), 5);
    const std::string_view talker = address.substr(0, 2);
    const std::string_view type = address.substr(2);
    const bool gps = talker == "GP";
    if (!gps && talker != "GN") {
        return;
    }
    const bool gga = type == "GGA";
    const bool gsa = type == "GSA";
    const bool rmc = type == "RMC";
    const bool gsv = gps && type == "GSV";
    if (!gga && !gsa && !rmc && !gsv) {
        return;
    }

    SplitFields();

    if (gga) {
        ParseGga();
    } else if (gsa) {
        ParseGsa();
    } else if (gsv) {
        ParseGsv();
    } else {
        ParseRmc();
    }
}

// Cuts the field text at its commas into m_fields: the first kMaxFields fields, the last of them
// ending at the next comma or at the end of the text.
void NmeaParser::SplitFields()
{
    const std::string_view text(m_field.data(), m_count);
    m_fieldCount = 0;
    size_t start = 0;
#ifdef ORV_NMEA_SSE2
    // The buffer is read in whole blocks (kFieldSize is a multiple of 16); commas at or beyond
    // the count are stale bytes of earlier sentences and are masked off.
    static_assert(kFieldSize % 16 == 0);
    const __m128i comma = _mm_set1_epi8(',');
    for (size_t block = 0; block < text.size() && m_fieldCount + 1 < kMaxFields; block += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_field.data() + block));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, comma)));
        if (text.size() - block < 16) {
            mask &= (1u << (text.size() - block)) - 1;
        }
        for (; mask != 0 && m_fieldCount + 1 < kMaxFields; mask &= mask - 1) {
            const size_t at = block + size_t(std::countr_zero(mask));
            m_fields[m_fieldCount++] = text.substr(start, at - start);
            start = at + 1;
        }
    }
#else
    for (size_t at = 0; at < text.size() && m_fieldCount + 1 < kMaxFields; ++at) {
        if (text[at] == ',') {
            m_fields[m_fieldCount++] = text.substr(start, at - start);
            start = at + 1;
        }
    }
#endif
    const size_t last = m_fieldCount + 1 < kMaxFields ? text.size() : text.find(',', start);
    m_fields[m_fieldCount++] = text.substr(start, last - start);
}

// $GPGGA,123519.5,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*hh
//        time     latitude   longitude   q sats hdop altitude
void NmeaParser::ParseGga()
{
    GpsStatus& s = m_status;
    const uint32_t oldSeconds = SecondsOfDay(s.ggaHour, s.ggaMinute, s.ggaSecond);
    const double oldAltitude = s.altitude;

    if (!Field(1).empty()) {
        ParseTime(Field(1), s.ggaHour, s.ggaMinute, s.ggaSecond, s.ggaMillis);
    }
    ParseCoordinate(Field(2), Field(3), 2, 'S', s.ggaLatitude);
    ParseCoordinate(Field(4), Field(5), 3, 'W', s.ggaLongitude);
    s.fixQuality = Clamped<uint8_t>(ToLong(Field(6)));
    if (!Field(7).empty()) {
        s.satellitesUsed = Clamped<uint8_t>(ToLong(Part(Field(7), 0, 2)));
    }
    if (!Field(8).empty()) {
        s.ggaHdop = ToDouble(Field(8));
    }
    if (!Field(9).empty()) {
        s.altitude = ToDouble(Field(9));
    }

    if (s.ggaCount > 0) {
        // Whole seconds; a negative step is the day changing at midnight UTC.
        int dt = int(SecondsOfDay(s.ggaHour, s.ggaMinute, s.ggaSecond)) - int(oldSeconds);
        if (dt < 0) {
            dt += 86400;
        }
        if (dt > 0) {
            s.verticalSpeed = (s.altitude - oldAltitude) / dt;
        }
    }
    ++s.ggaCount;
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*hh
//        mode, fix type, 12 PRNs, PDOP, HDOP, VDOP
void NmeaParser::ParseGsa()
{
    GpsStatus& s = m_status;
    if (!Field(1).empty()) {
        s.gsaMode = Field(1).front();
    }
    if (!Field(2).empty()) {
        s.fixType = Clamped<uint8_t>(ToLong(Field(2)));
    }
    for (size_t i = 0; i < kUsedPrnCount; ++i) {
        s.usedPrns[i] = Clamped<uint16_t>(ToLong(Part(Field(3 + i), 0, 2)));
    }
    s.pdop = ToDouble(Field(15));
    s.hdop = ToDouble(Field(16));
    s.vdop = ToDouble(Field(17));
    ++s.gsaCount;
}

// $GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*hh
//        messages, number, in view, then up to four {PRN, elevation, azimuth, SNR}
void NmeaParser::ParseGsv()
{
    GpsStatus& s = m_status;
    const long total = Field(1).empty() ? 0 : ToLong(Field(1));
    const long number = Field(2).empty() ? 0 : ToLong(Field(2));
    if (total < 1 || total > 8 || number < 1 || number > 9) {
        return;
    }
    if (!Field(3).empty()) {
        s.satellitesInView = Clamped<uint16_t>(ToLong(Field(3)));
    }
    for (size_t k = 0; k < 4; ++k) {
        SatelliteInView& sat = s.satellites[4 * size_t(number - 1) + k];
        sat.prn = Clamped<uint16_t>(ToLong(Field(4 + 4 * k)));
        sat.elevation = Clamped<uint16_t>(ToLong(Field(5 + 4 * k)));
        sat.azimuth = Clamped<uint16_t>(ToLong(Field(6 + 4 * k)));
        sat.snr = Clamped<uint16_t>(ToLong(Field(7 + 4 * k)));
        const bool used = sat.prn != 0 && std::find(s.usedPrns.begin(), s.usedPrns.end(),
                                                    sat.prn) != s.usedPrns.end();
        sat.used = used ? 1 : 0;
    }
    ++s.gsvCount;
}

// $GPRMC,123519.500,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*hh
//        time, status, latitude, longitude, knots, course, ddmmyy, variation
void NmeaParser::ParseRmc()
{
    GpsStatus& s = m_status;
    if (!Field(1).empty()) {
        ParseTime(Field(1), s.rmcHour, s.rmcMinute, s.rmcSecond, s.rmcMillis);
    }
    s.rmcStatus = Field(2).empty() ? 'V' : Field(2).front();
    ParseCoordinate(Field(3), Field(4), 2, 'S', s.rmcLatitude);
    ParseCoordinate(Field(5), Field(6), 3, 'W', s.rmcLongitude);
    s.speedKnots = ToDouble(Field(7));
    s.courseDegrees = ToDouble(Field(8));
    if (const std::string_view date = Field(9); !date.empty()) {
        s.day = TwoDigits(date, 0);
        s.month = TwoDigits(date, 2);
        const int yy = TwoDigits(date, 4);
        s.year = uint16_t(yy + (yy < 70 ? 2000 : 1900));
    }
    s.magneticVariation = ToDouble(Field(10));
    if (!Field(11).empty() && Field(11).front() == 'W') {
        s.magneticVariation = -s.magneticVariation;
    }
    ++s.rmcCount;
    s.rmcTick = m_lastChunkTick;
}

}  // namespace orv
