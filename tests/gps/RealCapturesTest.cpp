// Captures from real receivers (tests/data/nmea, sources in its README), fed as the reader
// thread feeds them. Expected counts and positions were read off the files' text.

#include "FakeTickClock.h"
#include "TempDir.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaStream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace orv {
namespace {

std::vector<uint8_t> Capture(const std::string& name)
{
    const auto bytes = ReadFileBytes(std::string(ORV_SOURCE_DIR) + "/tests/data/nmea/" + name);
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

struct Result
{
    GpsStatus status;
    std::vector<GpsFix> fixes;
};

Result FeedInChunks(const std::vector<uint8_t>& bytes, size_t chunk)
{
    FakeTickClock clock;
    NmeaParser parser(clock);
    NmeaStream stream;
    Result r;
    for (size_t offset = 0; offset < bytes.size(); offset += chunk) {
        const size_t n = std::min(chunk, bytes.size() - offset);
        const auto step = stream.Process(parser, {bytes.data() + offset, n}, clock.Now());
        if (step.fix) {
            r.fixes.push_back(*step.fix);
        }
        clock.Advance(100);
    }
    r.status = parser.Snapshot();
    return r;
}

double Degrees(int degrees, double minutes) { return degrees + minutes / 60.0; }

TEST(RealCaptures, CountsAndLastPositions)
{
    struct Case
    {
        const char* file;
        uint32_t sentences, gga, gsa, gsv, rmc;
        double latitude, longitude;  // of the last RMC with a position
        uint16_t year;
        size_t validRmc;  // RMC with status A: the most fixes there can be
    };
    const Case cases[] = {
        // Classic GPS-only output, southern and eastern hemisphere.
        {"sirf2-haicom-305n.nmea", 325, 73, 26, 79, 74, -Degrees(27, 12.6404), Degrees(153, 3.1200),
         2007, 68},
        // Every GGA has a bad checksum: all dropped, all RMC kept.
        {"ublox-neo5q-bad-gga-checksum.nmea", 46, 0, 0, 0, 23, Degrees(37, 15.6609),
         -Degrees(121, 57.6699), 2010, 23},
        // Lower-case checksum digits on 22 of the RMC.
        {"magellan-ec10-lowercase-hex.nmea", 76, 0, 0, 0, 38, Degrees(44, 5.556),
         -Degrees(121, 18.398), 2005, 21},
        // "$$GNGSA": every line starts with a doubled '$'.
        {"teseo-liv4f-double-dollar.nmea", 309, 12, 76, 62, 12, Degrees(47, 23.00453),
         Degrees(0, 45.88245), 2025, 12},
        // A GGA cut short by the next sentence on the same line.
        {"sirf3-triton400-cut-gga.nmea", 28, 4, 3, 12, 4, Degrees(26, 38.1753),
         -Degrees(80, 11.3903), 2013, 4},
        // Combined talker only (GNRMC, GNGGA), four GNGSA an epoch.
        {"ublox-neo-m9n-4gnss.nmea", 1403, 61, 244, 244, 61, Degrees(38, 6.63006),
         -Degrees(122, 37.61538), 2020, 61},
        {"ublox-zed-f9p-crlf.nmea", 1015, 29, 116, 174, 29, -Degrees(45, 52.65393),
         Degrees(170, 30.00670), 2019, 29},
        // Binary UBX frames between the sentences.
        {"ublox-zed-f9t-ubx-mix.nmea", 252, 9, 45, 45, 9, Degrees(44, 4.13123),
         -Degrees(121, 18.84804), 2025, 9},
        {"telit-pls83w-cr-cr-lf.nmea", 225, 10, 50, 27, 10, Degrees(43, 33.190127),
         Degrees(1, 27.618382), 2025, 10},
        // Over the 82-byte limit, eight decimals of minutes.
        {"trimble-rtk-long-sentences.nmea", 244, 122, 0, 0, 122, Degrees(41, 34.50180366),
         -Degrees(93, 45.03586734), 2020, 122},
        // Cold boot: spliced sentences, NUL padding, garbage dates, a void last RMC.
        {"gp320fw-coldboot-garbage.nmea", 102, 10, 18, 29, 17, 0.0, 0.0, 1999, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Result r = FeedInChunks(Capture(c.file), 256);
        const GpsStatus& s = r.status;
        EXPECT_EQ(s.sentenceCount, c.sentences);
        EXPECT_EQ(s.ggaCount, c.gga);
        EXPECT_EQ(s.gsaCount, c.gsa);
        EXPECT_EQ(s.gsvCount, c.gsv);
        EXPECT_EQ(s.rmcCount, c.rmc);
        EXPECT_NEAR(s.rmcLatitude, c.latitude, 1e-9);
        EXPECT_NEAR(s.rmcLongitude, c.longitude, 1e-9);
        EXPECT_EQ(s.year, c.year);
        EXPECT_LE(r.fixes.size(), c.validRmc);
        EXPECT_EQ(r.fixes.empty(), c.validRmc == 0);
    }
}

TEST(RealCaptures, SatellitesAndQualityOfTheLastEpoch)
{
    // Last GPGSV of the SiRF-II track: 3 of 3, 12 in view, PRN 24 at 58 deg, az 219, 40 dB.
    GpsStatus s = FeedInChunks(Capture("sirf2-haicom-305n.nmea"), 256).status;
    EXPECT_EQ(s.satellitesInView, 12);
    EXPECT_EQ(s.satellites[8].prn, 24);
    EXPECT_EQ(s.satellites[8].elevation, 58);
    EXPECT_EQ(s.satellites[8].azimuth, 219);
    EXPECT_EQ(s.satellites[8].snr, 40);
    EXPECT_EQ(s.fixQuality, 1);
    EXPECT_EQ(s.satellitesUsed, 6);
    EXPECT_DOUBLE_EQ(s.altitude, 3.5);

    // RTK fixed (quality 4) from a combined-talker GGA.
    s = FeedInChunks(Capture("trimble-rtk-long-sentences.nmea"), 256).status;
    EXPECT_EQ(s.fixQuality, 4);
    EXPECT_EQ(s.satellitesUsed, 19);
    EXPECT_DOUBLE_EQ(s.altitude, 280.829);
    EXPECT_NEAR(s.ggaLatitude, Degrees(41, 34.50180366), 1e-9);
}

// The parser takes field text in runs and scans for '$' ahead: the chunks the port happens to
// deliver, down to single bytes, must not change a single value.
TEST(RealCaptures, ChunkSizeDoesNotChangeTheResult)
{
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(ORV_SOURCE_DIR) + "/tests/data/nmea")) {
        if (entry.path().extension() != ".nmea") {
            continue;
        }
        const std::string file = entry.path().filename().string();
        SCOPED_TRACE(file);
        const auto bytes = Capture(file);
        const Result whole = FeedInChunks(bytes, bytes.size());
        for (const size_t chunk :
             {size_t{1}, size_t{7}, size_t{15}, size_t{16}, size_t{17}, size_t{256}}) {
            SCOPED_TRACE("chunks of " + std::to_string(chunk));
            const Result r = FeedInChunks(bytes, chunk);
            // The tick stamps follow the chunks; everything else must be the same.
            GpsStatus s = r.status;
            s.rmcTick = whole.status.rmcTick;
            EXPECT_TRUE(s == whole.status);
        }
    }
}

TEST(RealCaptures, ChecksumlessSentencesNeedTheirCarriageReturn)
{
    // The log lost the receiver's CRs: nothing ends a sentence that has no checksum.
    const auto bytes = Capture("hp58534a-no-checksum.nmea");
    EXPECT_EQ(FeedInChunks(bytes, 256).status.sentenceCount, 0u);

    // As the receiver sent it, with CR LF, all 13 are read.
    std::vector<uint8_t> wire;
    for (const uint8_t b : bytes) {
        if (b == '\n') {
            wire.push_back('\r');
        }
        wire.push_back(b);
    }
    const GpsStatus s = FeedInChunks(wire, 256).status;
    EXPECT_EQ(s.sentenceCount, 13u);
    EXPECT_GT(s.ggaCount, 0u);
    EXPECT_LT(s.ggaLatitude, 0.0);  // southern hemisphere
    EXPECT_GT(s.ggaLongitude, 0.0);
    EXPECT_DOUBLE_EQ(s.altitude, 115.4);  // written zero-padded, 000115.4
}

}  // namespace
}  // namespace orv
