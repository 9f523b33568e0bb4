#include "gps/NmeaParser.h"

#include "FakeTickClock.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace orv {
namespace {

// A DGPS-era GGA with its checksum worked out by hand.
const std::string kGga = "$GPGGA,123519.5,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*5C\r\n";

class NmeaParserTest : public ::testing::Test
{
protected:
    GpsStatus Feed(const std::string& text)
    {
        GpsStatus out;
        m_parser.Feed({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, &out);
        return out;
    }

    FakeTickClock m_clock{5000};
    NmeaParser m_parser{m_clock};
};

TEST_F(NmeaParserTest, ReadsGga)
{
    const GpsStatus s = Feed(kGga);
    EXPECT_EQ(s.sentenceCount, 1u);
    EXPECT_EQ(s.ggaCount, 1u);
    EXPECT_EQ(s.ggaHour, 12);
    EXPECT_EQ(s.ggaMinute, 35);
    EXPECT_EQ(s.ggaSecond, 19);
    EXPECT_EQ(s.ggaMillis, 500);
    EXPECT_NEAR(s.ggaLatitude, 48.1173, 1e-12);  // 48 + 7.038 / 60
    EXPECT_NEAR(s.ggaLongitude, 11.0 + 31.0 / 60.0, 1e-12);
    EXPECT_EQ(s.fixQuality, 1);
    EXPECT_EQ(s.satellitesUsed, 8);
    EXPECT_DOUBLE_EQ(s.ggaHdop, 0.9);
    EXPECT_DOUBLE_EQ(s.altitude, 545.4);
}

TEST_F(NmeaParserTest, DropsDamagedSentencesAndKeepsTheLastGoodStatus)
{
    const GpsStatus good = Feed(kGga);
    const std::string body = kGga.substr(0, kGga.size() - 4);  // up to and with '*'
    const std::pair<const char*, std::string> cases[] = {
        {"wrong checksum", body + "5D\r\n"},
        {"checksum digits that are not hex", body + "G1\r\n"},
        {"a '*' with no digits", "$GPBOD,,T,,M,,*\r\n"},
        {"address of 8 characters", "$GPGGAXYZ,123519.5,4807.038,N*11\r\n"},
        {"cut short by a dropped link", kGga.substr(0, 30)},
        {"no leading $", kGga.substr(1)},
        {"binary noise", std::string("\x00\xff\x13\x37\xb5\x62\x01\x07\r\n\x80", 10)},
        {"over-long fields", "$GPGGA," + std::string(300, '1') + "*00\r\n"},
        {"LF only, no checksum", "$GPGGA,000000,0000.000,N,00000.000,E,1,08,0.9,1.0,M\n"},
    };
    for (const auto& [legend, text] : cases) {
        SCOPED_TRACE(legend);
        const GpsStatus s = Feed(text);
        EXPECT_EQ(s.sentenceCount, good.sentenceCount);
        EXPECT_EQ(s.ggaCount, good.ggaCount);
        EXPECT_EQ(s.ggaLatitude, good.ggaLatitude);
        EXPECT_EQ(s.altitude, good.altitude);
        // Whatever came before, the next good sentence is read.
        m_parser.Reset();
        EXPECT_EQ(Feed(kGga).ggaCount, 1u);
        m_parser.Reset();
        Feed(kGga);
    }
}

TEST_F(NmeaParserTest, AcceptsWhatRealReceiversSend)
{
    const std::pair<const char*, std::string> cases[] = {
        {"ended by CR without a checksum",
         "$GPGGA,123519.5,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n"},
        {"lower-case checksum digits",
         "$GPRMC,205150.00,V,4405.556,N,12118.398,W,,,,,,V*4a\r\n"
         "$GPGGA,123519.5,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*5c\r\n"},
        {"a '$' doubled at the start", "$" + kGga},
        {"a sentence cut short by the next one", "$GPGGA,030130$GPGSA,A,3,,,,*0E\r\n" + kGga},
        {"split in one-byte chunks", kGga},
        {"CR CR LF line ends", kGga.substr(0, kGga.size() - 2) + "\r\r\n"},
    };
    for (const auto& [legend, text] : cases) {
        SCOPED_TRACE(legend);
        m_parser.Reset();
        GpsStatus s;
        if (std::string(legend).starts_with("split")) {
            for (const char c : text) {
                s = Feed(std::string(1, c));
            }
        } else {
            s = Feed(text);
        }
        EXPECT_EQ(s.ggaCount, 1u);
        EXPECT_NEAR(s.ggaLatitude, 48.1173, 1e-12);
        EXPECT_DOUBLE_EQ(s.altitude, 545.4);
    }
}

TEST_F(NmeaParserTest, TakesPositionsFromGpsAndCombinedTalkersOnly)
{
    // Unknown addresses are counted and nothing else.
    GpsStatus s = Feed("$GPXYZ,1,2,3*50\r\n");
    EXPECT_EQ(s.sentenceCount, 1u);
    EXPECT_EQ(s.ggaCount + s.gsaCount + s.gsvCount + s.rmcCount, 0u);

    // GLONASS-only GGA: counted, not used.
    s = Feed("$GLGGA,123519.5,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*40\r\n");
    EXPECT_EQ(s.sentenceCount, 2u);
    EXPECT_EQ(s.ggaCount, 0u);

    s = Feed(
        "$GNGGA,123519.5,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*42\r\n"
        "$GNRMC,101010.000,A,4807.038,N,01131.000,E,0.0,0.0,150419,,*16\r\n");
    EXPECT_EQ(s.ggaCount, 1u);
    EXPECT_EQ(s.rmcCount, 1u);
    EXPECT_EQ(s.rmcStatus, 'A');
    EXPECT_EQ(s.year, 2019);

    // The satellite table is the GPS one: a combined-talker GSV is ignored.
    s = Feed("$GNGSV,1,1,01,07,40,083,46*5C\r\n");
    EXPECT_EQ(s.sentenceCount, 5u);
    EXPECT_EQ(s.gsvCount, 0u);
    EXPECT_EQ(s.satellitesInView, 0);
}

TEST_F(NmeaParserTest, ReadsRmcDateHemispheresAndVariation)
{
    m_clock.now = 777;
    GpsStatus s =
        Feed("$GPRMC,235959.25,A,5130.1234,S,00012.3456,W,10.5,271.3,311205,4.2,W*76\r\n");
    EXPECT_EQ(s.rmcHour, 23);
    EXPECT_EQ(s.rmcSecond, 59);
    EXPECT_EQ(s.rmcMillis, 250);
    EXPECT_EQ(s.rmcStatus, 'A');
    EXPECT_NEAR(s.rmcLatitude, -(51.0 + 30.1234 / 60.0), 1e-12);
    EXPECT_NEAR(s.rmcLongitude, -(12.3456 / 60.0), 1e-12);
    EXPECT_DOUBLE_EQ(s.speedKnots, 10.5);
    EXPECT_DOUBLE_EQ(s.courseDegrees, 271.3);
    EXPECT_EQ(s.day, 31);
    EXPECT_EQ(s.month, 12);
    EXPECT_EQ(s.year, 2005);
    EXPECT_DOUBLE_EQ(s.magneticVariation, -4.2);
    EXPECT_EQ(s.rmcTick, 777u);

    // A void RMC with empty fields: status and counters move, the position stays.
    m_clock.now = 999;
    s = Feed("$GPRMC,000001,V,,,,,,,010106,,*36\r\n$GPRMC,000001,V,,,,,,,010106,,\r\n");
    EXPECT_EQ(s.rmcStatus, 'V');
    EXPECT_EQ(s.rmcCount, 3u);
    EXPECT_NEAR(s.rmcLatitude, -(51.0 + 30.1234 / 60.0), 1e-12);
    EXPECT_EQ(s.speedKnots, 0.0);
    EXPECT_EQ(s.year, 2006);
    EXPECT_EQ(s.rmcTick, 999u);
}

TEST_F(NmeaParserTest, FillsTheSatelliteTableAndMarksUsedSatellites)
{
    GpsStatus s = Feed(
        "$GPGSA,A,3,05,12,30,,,,,,,,,,2.5,1.3,2.1*31\r\n"
        "$GPGSV,1,1,03,05,40,083,46,12,17,308,41,30,07,344,*4E\r\n");
    EXPECT_EQ(s.gsaMode, 'A');
    EXPECT_EQ(s.fixType, 3);
    EXPECT_EQ(s.usedPrns[2], 30);
    EXPECT_EQ(s.usedPrns[3], 0);
    EXPECT_DOUBLE_EQ(s.vdop, 2.1);
    EXPECT_EQ(s.satellitesInView, 3);
    EXPECT_EQ(s.satellites[0].prn, 5);
    EXPECT_EQ(s.satellites[0].azimuth, 83);
    EXPECT_EQ(s.satellites[1].snr, 41);
    EXPECT_EQ(s.satellites[2].snr, 0);  // not tracked
    EXPECT_EQ(s.satellites[2].used, 1u);
    EXPECT_EQ(s.satellites[3].prn, 0);
    EXPECT_EQ(s.satellites[3].used, 0u);

    // Message counts outside the table are ignored.
    s = Feed("$GPGSV,9,1,03,05,40,083,46*4A\r\n$GPGSV,1,0,03,05,40,083,46*43\r\n");
    EXPECT_EQ(s.gsvCount, 1u);
    EXPECT_EQ(s.sentenceCount, 4u);
}

TEST_F(NmeaParserTest, VerticalSpeedAcrossMidnight)
{
    // 23:59:59 to 00:00:01 is two seconds; 10 m in two seconds.
    const GpsStatus s = Feed(
        "$GPGGA,235959,4807.038,N,01131.000,E,1,08,0.9,500.0,M,,M,,*5B\r\n"
        "$GPGGA,000001,4807.038,N,01131.000,E,1,08,0.9,510.0,M,,M,,*5A\r\n");
    EXPECT_EQ(s.ggaCount, 2u);
    EXPECT_DOUBLE_EQ(s.verticalSpeed, 5.0);
}

TEST_F(NmeaParserTest, ResetForgetsHalfReadSentences)
{
    Feed(kGga.substr(0, 40));
    m_parser.Reset();
    // The tail of the old sentence is no sentence at all.
    GpsStatus s = Feed(kGga.substr(40));
    EXPECT_EQ(s.sentenceCount, 0u);
    EXPECT_EQ(s.year, 2000);
    EXPECT_EQ(s.rmcStatus, 'V');
    EXPECT_EQ(m_parser.Snapshot().sentenceCount, 0u);
}

// The field text is taken in runs, not byte by byte: the limit of 255 characters after the address
// and the checksum must hold wherever the chunks of the port cut the sentence.
TEST_F(NmeaParserTest, FieldLimitAndChecksumHoldAtEveryCut)
{
    const auto sentence = [](size_t length, bool checked) {
        std::string text;
        for (size_t i = 0; i < length; ++i) {
            text += "0123456789,.ABC-"[i % 16];
        }
        std::string s = "$GPXYZ," + text;
        if (!checked) {
            return s + "\r\n";
        }
        unsigned sum = 0;
        for (size_t i = 1; i < s.size(); ++i) {
            sum ^= uint8_t(s[i]);
        }
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", sum);
        return s + "*" + digits + "\r\n";
    };
    struct Case
    {
        const char* legend;
        std::string text;
        uint32_t sentences;
    };
    const std::string good = sentence(200, true);
    const Case cases[] = {
        {"255 characters, checked", sentence(255, true), 1},
        {"255 characters, unchecked", sentence(255, false), 1},
        {"256 characters, checked", sentence(256, true), 0},
        {"256 characters, unchecked", sentence(256, false), 0},
        {"one wrong character", good.substr(0, 100) + "X" + good.substr(101), 0},
        {"31 characters", sentence(31, true), 1},
        {"32 characters", sentence(32, true), 1},
        {"no text", sentence(0, true), 1},
        {"three in a row", good + sentence(17, true) + sentence(16, false), 3},
    };
    for (const auto& c : cases) {
        for (const size_t chunk : {size_t{1}, size_t{5}, size_t{15}, size_t{16}, size_t{17},
                                   size_t{256}, c.text.size()}) {
            SCOPED_TRACE(std::string(c.legend) + ", chunks of " + std::to_string(chunk));
            m_parser.Reset();
            GpsStatus s;
            for (size_t offset = 0; offset < c.text.size(); offset += chunk) {
                s = Feed(c.text.substr(offset, chunk));
            }
            EXPECT_EQ(s.sentenceCount, c.sentences);
        }
    }
}

// Decimals are read as std::from_chars reads them, to the last bit, however many digits the
// receiver writes (an altitude stands for every decimal field here).
TEST_F(NmeaParserTest, ReadsDecimalsAsFromCharsDoes)
{
    std::vector<std::string> numbers = {"545.4",
                                        "000115.4",
                                        "0.1",
                                        "-0.0",
                                        "-12.5",
                                        "5.",
                                        ".5",
                                        "-.5",
                                        "0.30000000000000004",
                                        "9007199254740993",
                                        "9007199254740992.5",
                                        "1234567890123456789",
                                        "12345678901234567890",
                                        "0.0000000000000000000001",
                                        "0.00000000000000000000001",
                                        "123.4567890123456789012",
                                        "1" + std::string(200, '0'),
                                        "0." + std::string(40, '0') + "17",
                                        "1e5",
                                        "12.5x",
                                        "4807.038"};
    std::mt19937_64 random(20);
    for (int i = 0; i < 20000; ++i) {
        std::string n = random() % 4 == 0 ? "-" : "";
        const size_t whole = random() % 24;
        const size_t fraction = random() % 26;
        for (size_t k = 0; k < whole; ++k) {
            n += char('0' + random() % 10);
        }
        if (fraction > 0 || whole == 0) {
            n += '.';
        }
        for (size_t k = 0; k < fraction; ++k) {
            n += char('0' + random() % 10);
        }
        numbers.push_back(n);
    }
    for (const std::string& n : numbers) {
        SCOPED_TRACE(n);
        double expected = 0.0;
        const auto r =
            std::from_chars(n.data(), n.data() + n.size(), expected, std::chars_format::fixed);
        if (r.ec != std::errc() || !std::isfinite(expected)) {
            expected = 0.0;
        }
        m_parser.Reset();
        const GpsStatus s = Feed("$GPGGA,,,,,,,,," + n + ",M,,M,,\r\n");
        ASSERT_EQ(s.ggaCount, 1u);
        EXPECT_EQ(std::signbit(s.altitude), std::signbit(expected));
        EXPECT_EQ(s.altitude, expected);
    }
}

}  // namespace
}  // namespace orv
