#pragma once
// The plain fields of the configuration by name: their stored kind, their registry value name
// and where they live in the record. Load, Save, `orvtool config` and `--set Field=Value` of the
// tools all work from this one table.

#include "config/Configuration.h"

#include <span>
#include <string>
#include <string_view>

namespace orv {

enum class FieldKind {
    Int,          // DWORD
    Float,        // binary, 4 bytes
    Frequencies,  // binary, 14 bytes of 0 or 1
    Double,       // not stored
    ColourWord,   // not stored
    Text,         // not stored
};

struct FieldInfo
{
    const char* name;          // the field's code name, e.g. "UnitMeasure"
    const char* registryName;  // nullptr when the field is not stored; "" is the unnamed value
    FieldKind kind;
    int Configuration::*intField = nullptr;
    float Configuration::*floatField = nullptr;
    double Configuration::*doubleField = nullptr;
    Colour Configuration::*colourField = nullptr;
    std::string Configuration::*textField = nullptr;
};

// Every plain field, in the order of the record.
std::span<const FieldInfo> ConfigurationFields();
const FieldInfo* FindConfigurationField(std::string_view name);

// The field's value as text: integers in decimal, floats and doubles in the shortest form that
// reads back exactly, colours as 0x00BBGGRR, frequencies as 14 comma-separated 0/1 flags.
std::string FieldValueText(const Configuration& config, const FieldInfo& field);
// Sets a field from text in the same forms (colours also in decimal; frequencies also as a list
// of active frequency numbers 1..14 such as "1,2,14" when fewer than 14 values are given).
// False, with the reason, when the text does not fit the field; the field is then unchanged.
[[nodiscard]] bool SetFieldFromText(Configuration& config, const FieldInfo& field,
                                    std::string_view text, std::string& error);
// "Field=Value" for any field of the table, plus "CalibrationKey=SERIAL[,DD/MM/YYYY]" which
// reselects the calibration.
[[nodiscard]] bool ApplySetting(Configuration& config, std::string_view assignment,
                                std::string& error);

}  // namespace orv
