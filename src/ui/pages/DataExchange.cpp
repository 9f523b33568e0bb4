#include "ui/pages/DataExchange.h"

#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orv {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ReadUnsignedText(std::string_view text, unsigned minimum, unsigned maximum, unsigned& value,
                      std::string& message)
{
    const std::string rangeMessage = FormatResource(string_id::kEnterIntegerBetween,
                                                    {UnsignedText(minimum), UnsignedText(maximum)});
    std::string_view t = Trimmed(text);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty()) {
        message = std::string(ResourceString(string_id::kEnterInteger));
        return false;
    }
    unsigned long long v = 0;
    bool tooLarge = false;
    for (const char c : t) {
        if (!IsDigit(c)) {
            message = std::string(ResourceString(string_id::kEnterInteger));
            return false;
        }
        if (!tooLarge) {
            v = v * 10 + static_cast<unsigned>(c - '0');
            tooLarge = v > 0xFFFFFFFFull;
        }
    }
    if (tooLarge || (negative && v != 0) || v < minimum || v > maximum) {
        message = rangeMessage;
        return false;
    }
    value = static_cast<unsigned>(v);
    return true;
}

bool ReadFloatText(std::string_view text, float minimum, float maximum, float& value,
                   std::string& message)
{
    const std::string t(Trimmed(text));
    if (t.empty()) {
        message = std::string(ResourceString(string_id::kEnterNumber));
        return false;
    }
    // strtod would accept "inf", "nan" and hexadecimal numbers: only plain decimals count.
    for (const char c : t) {
        if (!IsDigit(c) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E') {
            message = std::string(ResourceString(string_id::kEnterNumber));
            return false;
        }
    }
    char* end = nullptr;
    errno = 0;
    const double d = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || *end != '\0') {
        message = std::string(ResourceString(string_id::kEnterNumber));
        return false;
    }
    const float f = static_cast<float>(d);
    if (errno == ERANGE || !std::isfinite(f) || f < minimum || f > maximum) {
        message = FormatResource(string_id::kEnterNumberBetween,
                                 {FloatText(minimum), FloatText(maximum)});
        return false;
    }
    value = f;
    return true;
}

std::string UnsignedText(unsigned value) { return std::to_string(value); }

std::string FloatText(float value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6g", static_cast<double>(value));
    return buffer;
}

}  // namespace orv
