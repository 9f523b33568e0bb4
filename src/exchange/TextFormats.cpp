#include "exchange/TextFormats.h"

#include "exchange/NumberText.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace orv {

namespace {

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

// Shortest double text; JSON has no NaN or infinity.
std::string JsonNumber(double v) { return std::isfinite(v) ? DoubleText(v) : "null"; }

std::string Xml(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string PlainName(const FrequencyColumn& column) { return "f" + std::to_string(column.number); }

const char* WorkTypeName(int workType)
{
    switch (workType) {
        case 2:
            return "Map";
        case 3:
            return "Profile";
        case 4:
            return "Line";
        case 31:
            return "GPS track";
        default:
            return "unknown";
    }
}

}  // namespace

std::string IsoTime(int64_t unixTimeMs)
{
    const int64_t seconds = unixTimeMs >= 0 ? unixTimeMs / 1000 : (unixTimeMs - 999) / 1000;
    const auto millis = static_cast<int>(unixTimeMs - seconds * 1000);
    const auto t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (gmtime_r(&t, &utc) == nullptr) {
        return {};
    }
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
    return text;
}

std::string PlainCsv(const StationTable& table)
{
    const bool track = table.IsTrack();
    std::string out = track ? "station,latitude,longitude,x,y" : "profile,station,x,y";
    for (const FrequencyColumn& column : table.frequencies) {
        out += "," + PlainName(column);
    }
    out += "\n";
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const StationRow& row = table.rows[r];
        if (track) {
            out += std::to_string(row.station) + ",";
            out += row.positioned ? JsonNumber(row.latitude) + "," + JsonNumber(row.longitude)
                                  : std::string(",");
        } else {
            out += std::to_string(row.profile) + "," + std::to_string(row.station);
        }
        out += row.local ? "," + ShortestFloatText(row.x) + "," + ShortestFloatText(row.y)
                         : std::string(",,");
        for (size_t c = 0; c < table.frequencies.size(); ++c) {
            out += "," + ShortestFloatText(table.Value(r, c));
        }
        out += "\n";
    }
    return out;
}

std::string PlainGeoJson(const StationTable& table)
{
    std::string features;
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const StationRow& row = table.rows[r];
        std::string properties = "{";
        if (!table.IsTrack()) {
            properties += "\"profile\":" + std::to_string(row.profile) + ",";
        }
        properties += "\"station\":" + std::to_string(row.station);
        if (row.local) {
            properties +=
                ",\"x\":" + JsonNumber(double(row.x)) + ",\"y\":" + JsonNumber(double(row.y));
        }
        properties += ",\"tickStamp\":" + std::to_string(row.tickStamp);
        for (size_t c = 0; c < table.frequencies.size(); ++c) {
            const float v = table.Value(r, c);
            properties += ",\"" + PlainName(table.frequencies[c]) +
                          "\":" + (std::isfinite(v) ? ShortestFloatText(v) : "null");
        }
        properties += "}";
        const std::string geometry = row.positioned ? "{\"type\":\"Point\",\"coordinates\":[" +
                                                          JsonNumber(row.longitude) + "," +
                                                          JsonNumber(row.latitude) + "]}"
                                                    : std::string("null");
        features += (features.empty() ? "" : ",\n") +
                    std::string("{\"type\":\"Feature\",\"geometry\":") + geometry +
                    ",\"properties\":" + properties + "}";
    }
    return "{\"type\":\"FeatureCollection\",\"name\":" + JsonString(table.layerName) +
           ",\"features\":[\n" + features + "\n]}\n";
}

bool PlainKml(const StationTable& table, std::string& out, std::string& error)
{
    bool any = false;
    for (const StationRow& row : table.rows) {
        any = any || row.positioned;
    }
    if (!any) {
        error = table.IsTrack() ? "no station of this track has a GPS position for KML"
                                : "a grid survey has no GPS positions for KML; use csv or geojson";
        return false;
    }
    out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<name>" +
        Xml(table.layerName) + "</name>\n";
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const StationRow& row = table.rows[r];
        if (!row.positioned) {
            continue;
        }
        out += "<Placemark><name>Station " + std::to_string(row.station) + "</name><ExtendedData>";
        for (size_t c = 0; c < table.frequencies.size(); ++c) {
            out += "<Data name=\"" + PlainName(table.frequencies[c]) + "\"><value>" +
                   ShortestFloatText(table.Value(r, c)) + "</value></Data>";
        }
        out += "</ExtendedData><Point><coordinates>" + JsonNumber(row.longitude) + "," +
               JsonNumber(row.latitude) + "</coordinates></Point></Placemark>\n";
    }
    out += "</Document>\n</kml>\n";
    return true;
}

std::string GeosoftXyz(const StationTable& table, const Placement& placement)
{
    constexpr const char* kMissing = "*";
    std::string out = "/ ORV stations " + table.layerName + ": " + WorkTypeName(table.workType);
    if (table.workType == 4) {
        out += " of " + std::to_string(table.rows.size()) + " stations";
    } else if (!table.IsTrack()) {
        out += " survey of " + std::to_string(table.profiles) + " profile" +
               (table.profiles == 1 ? "" : "s") + " of " + std::to_string(table.stations) +
               " stations";
    }
    out += "\n/ values in ";
    out += UnitText(table.kind);
    out += ", calibration " + table.CalibrationText() + "\n/ frequencies:";
    for (const FrequencyColumn& column : table.frequencies) {
        out += " " + std::to_string(column.number) + " = " + DoubleText(column.hertz) + " Hz;";
    }
    out += "\n/ x, y: ";
    if (!placement.crs.empty()) {
        out += placement.crsLabel;
    } else if (table.IsTrack()) {
        out += "metres east and north of the first station with a GPS position";
    } else {
        out += "metres along the stations and along the profiles";
    }
    out +=
        "\n/ profile station x y latitude longitude serial tick_ms time fix_quality "
        "satellites hdop";
    for (const FrequencyColumn& column : table.frequencies) {
        out += " " + column.name;
    }
    out += "\n";
    int line = -1;
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const StationRow& row = table.rows[r];
        if (row.profile != line || r == 0) {
            line = row.profile;
            out += "Line " + std::to_string(line) + "\n";
        }
        const auto number = [&](bool has, double v) { return has ? DoubleText(v) : kMissing; };
        out += std::to_string(row.profile) + " " + std::to_string(row.station);
        out += " " + number(placement.hasXy[r] != 0, placement.x[r]);
        out += " " + number(placement.hasXy[r] != 0, placement.y[r]);
        out += " " + number(placement.hasGeographic[r] != 0, placement.latitude[r]);
        out += " " + number(placement.hasGeographic[r] != 0, placement.longitude[r]);
        out += " " + std::to_string(row.serial) + " " + std::to_string(row.tickStamp);
        out += " " + (row.meta.unixTimeMs ? IsoTime(*row.meta.unixTimeMs) : kMissing);
        out += " " + (row.meta.fixQuality ? std::to_string(*row.meta.fixQuality) : kMissing);
        out += " " + (row.meta.satellites ? std::to_string(*row.meta.satellites) : kMissing);
        out += " " + number(row.meta.hdop.has_value(), row.meta.hdop.value_or(0.0));
        for (size_t c = 0; c < table.frequencies.size(); ++c) {
            const float v = table.Value(r, c);
            out += " " + (std::isfinite(v) ? ShortestFloatText(v) : kMissing);
        }
        out += "\n";
    }
    return out;
}

}  // namespace orv
