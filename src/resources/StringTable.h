#pragma once
// The program's string table: every text the operator sees in a message box, a label, a page
// title or a menu comes from here by id (resources/ResourceIds.h). Texts are UTF-8.
//
//     Tell(ResourceString(string_id::kSaveChanges), ...);
//     FormatResource(string_id::kEnterIntegerBetween, {"1", "65535"});
//     PrintfResource(string_id::kDeviceEntry, serial, day, month, year);

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace orv {

// The text of `id`; empty for an id the table does not hold.
std::string_view ResourceString(int id);
// Replaces %1, %2, ... (up to %9) of the text by the arguments; "%%" stays as it is.
std::string FormatResource(int id, std::initializer_list<std::string_view> arguments);
// Replaces %1 ... %9 of any text by the arguments.
std::string FormatPlaceholders(std::string_view text,
                               std::initializer_list<std::string_view> arguments);

// Formats a text whose placeholders are printf conversions (the device entries and the
// calibration questions keep the handheld's formats).
template <typename... Args>
std::string PrintfResource(int id, Args... args)
{
    const std::string format(ResourceString(id));
    char buffer[512];
    const int n = std::snprintf(buffer, sizeof buffer, format.c_str(), args...);
    if (n < 0) {
        return {};
    }
    return std::string(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n)
                                                                      : sizeof buffer - 1);
}

}  // namespace orv
