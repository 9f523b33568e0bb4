// orvtool nmea: feeds an NMEA capture through the controller's parser and prints the final
// GPS status as JSON, or with --fixes every fix the reader thread would hand to the matcher.

#include "Command.h"
#include "Json.h"
#include "base/TickClock.h"
#include "gps/NmeaParser.h"
#include "gps/NmeaStream.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace orv::tool {

// Named rather than anonymous: the commands are compiled together in batches.
namespace nmea_command {

constexpr const char* kName = "nmea";
constexpr size_t kReadSize = 256;  // what the reader thread asks of the port at a time

constexpr const char* kAbout =
    "Feeds an NMEA 0183 capture through the GPS parser in the reader thread's chunks of 256\n"
    "bytes and prints the final GPS status as JSON, keyed by the status field names.\n";

struct Options
{
    std::string path;
    bool fixes = false;
};

// Stands in for the tick counter: the offset of the chunk being fed.
class OffsetClock final : public TickClock
{
public:
    uint32_t Now() override { return offset; }
    void Sleep(uint32_t) override {}
    uint32_t offset = 0;
};

std::string Char(char c) { return JsonString(std::string_view(&c, c == '\0' ? 0 : 1)); }

std::string StatusJson(const GpsStatus& s)
{
    std::string prns = "[";
    for (size_t i = 0; i < s.usedPrns.size(); ++i) {
        prns += (i ? "," : "") + std::to_string(s.usedPrns[i]);
    }
    prns += "]";
    std::string satellites = "[";
    for (size_t i = 0; i < s.satellites.size(); ++i) {
        const SatelliteInView& v = s.satellites[i];
        satellites += (i ? "," : "") + JsonObject()
                                           .Integer("prn", v.prn)
                                           .Integer("elevation", v.elevation)
                                           .Integer("azimuth", v.azimuth)
                                           .Integer("snr", v.snr)
                                           .Integer("used", v.used)
                                           .Str();
    }
    satellites += "]";
    return JsonObject()
        .Integer("sentenceCount", s.sentenceCount)
        .Integer("ggaHour", s.ggaHour)
        .Integer("ggaMinute", s.ggaMinute)
        .Integer("ggaSecond", s.ggaSecond)
        .Integer("ggaMillis", s.ggaMillis)
        .Number("ggaLatitude", s.ggaLatitude)
        .Number("ggaLongitude", s.ggaLongitude)
        .Integer("fixQuality", s.fixQuality)
        .Integer("satellitesUsed", s.satellitesUsed)
        .Number("ggaHdop", s.ggaHdop)
        .Number("altitude", s.altitude)
        .Number("verticalSpeed", s.verticalSpeed)
        .Integer("ggaCount", s.ggaCount)
        .Raw("gsaMode", Char(s.gsaMode))
        .Integer("fixType", s.fixType)
        .Raw("usedPrns", prns)
        .Number("pdop", s.pdop)
        .Number("hdop", s.hdop)
        .Number("vdop", s.vdop)
        .Integer("gsaCount", s.gsaCount)
        .Integer("satellitesInView", s.satellitesInView)
        .Raw("satellites", satellites)
        .Integer("gsvCount", s.gsvCount)
        .Integer("rmcHour", s.rmcHour)
        .Integer("rmcMinute", s.rmcMinute)
        .Integer("rmcSecond", s.rmcSecond)
        .Integer("rmcMillis", s.rmcMillis)
        .Raw("rmcStatus", Char(s.rmcStatus))
        .Number("rmcLatitude", s.rmcLatitude)
        .Number("rmcLongitude", s.rmcLongitude)
        .Number("speedKnots", s.speedKnots)
        .Number("courseDegrees", s.courseDegrees)
        .Integer("day", s.day)
        .Integer("month", s.month)
        .Integer("year", s.year)
        .Number("magneticVariation", s.magneticVariation)
        .Integer("rmcCount", s.rmcCount)
        .Integer("rmcTick", s.rmcTick)
        .Str();
}

int Run(const Options& options)
{
    const std::string& path = options.path;
    const bool fixes = options.fixes;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Fail(kName, "cannot open '" + path + "'");
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    if (in.bad()) {
        return Fail(kName, "cannot read '" + path + "'");
    }

    OffsetClock clock;
    NmeaParser parser(clock);
    NmeaStream stream;
    if (fixes) {
        std::fputs("tickStamp,latitude,longitude\n", stdout);
    }
    for (size_t offset = 0; offset < bytes.size(); offset += kReadSize) {
        clock.offset = uint32_t(offset);
        const size_t n = std::min(kReadSize, bytes.size() - offset);
        const NmeaStream::Step step = stream.Process(
            parser, std::span<const uint8_t>(bytes.data() + offset, n), clock.offset);
        if (fixes && step.fix) {
            std::printf("%u,%s,%s\n", step.fix->tickStamp, JsonNumber(step.fix->latitude).c_str(),
                        JsonNumber(step.fix->longitude).c_str());
        }
    }
    if (!fixes) {
        std::printf("%s\n", StatusJson(parser.Snapshot()).c_str());
    }
    return 0;
}

std::function<int()> Define(CLI::App& command)
{
    auto options = std::make_shared<Options>();
    command.footer(kAbout);
    command.add_option("FILE.nmea", options->path, "the capture")->type_name("")->required();
    command.add_flag("--fixes", options->fixes,
                     "print instead every fix passed to the GPS matcher, as CSV\n"
                     "(tickStamp,latitude,longitude); the tick stamp is the byte offset of the\n"
                     "chunk that held the fix's RMC sentence");
    return [options] { return Run(*options); };
}

const bool kRegistered = RegisterCommand({kName, "NMEA capture through the GPS parser", &Define});

}  // namespace nmea_command

}  // namespace orv::tool
