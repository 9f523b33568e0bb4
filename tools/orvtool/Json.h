#pragma once
// A small JSON writer for orvtool's output: keys in the order they are written.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace orv::tool {

inline std::string JsonString(std::string_view text)
{
    std::string out = "\"";
    for (const unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

// Shortest text that reads back as the same double; non-finite values become null.
inline std::string JsonNumber(double v)
{
    if (!std::isfinite(v)) {
        return "null";
    }
    char buffer[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, v);
        if (std::strtod(buffer, nullptr) == v) {
            break;
        }
    }
    return buffer;
}

// The shortest text that reads back as the same float: the values of the CSV outputs.
inline std::string FloatText(float v)
{
    char buffer[32];
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, double(v));
        if (std::strtof(buffer, nullptr) == v) {
            break;
        }
    }
    return buffer;
}

class JsonObject
{
public:
    JsonObject& Raw(std::string_view key, std::string_view json)
    {
        m_text += m_text.empty() ? "{" : ",";
        m_text += JsonString(key);
        m_text += ":";
        m_text += json;
        return *this;
    }
    JsonObject& Text(std::string_view key, std::string_view value)
    {
        return Raw(key, JsonString(value));
    }
    JsonObject& Number(std::string_view key, double value) { return Raw(key, JsonNumber(value)); }
    JsonObject& Integer(std::string_view key, long long value)
    {
        return Raw(key, std::to_string(value));
    }
    std::string Str() const { return m_text.empty() ? "{}" : m_text + "}"; }

private:
    std::string m_text;
};

}  // namespace orv::tool
