#pragma once
// What the signal settings page ("Settings", dialog 102) decides, without Qt: the twelve signal
// options, the rules that tie them together and the state of every control.
//
// The rules: phase equalisation is offered only for the quadrature and in-phase components, and
// it always comes with normalisation to the current and subtraction of the undercompensation;
// the module is never phase-equalised. The powers are edited only while "Normalized to frequency
// of power:" is checked; disabled edits keep their values.

#include "config/Configuration.h"
#include "ui/pages/DataExchange.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

namespace signal_control {
constexpr int kAdcQuantums = 2001;
constexpr int kApparentValues = 2002;
constexpr int kResistivity = 2003;
constexpr int kConductivity = 2004;
constexpr int kModule = 2011;
constexpr int kQuadrature = 2012;
constexpr int kInphase = 2013;
constexpr int kPhaseEqualization = 1021;
constexpr int kNormalizedToCurrent = 1022;
constexpr int kNormalizedToFrequency = 1023;
constexpr int kSubtractUndercompensation = 1024;
constexpr int kFilter = 1025;
constexpr int kPowerModule = 1055;
constexpr int kPowerQuadrature = 1036;
constexpr int kPowerInphase = 1037;
constexpr int kCurrentChannel = 1070;
}  // namespace signal_control

struct SignalSettingsLogic
{
    // The state of the controls after RefreshControls.
    struct ControlState
    {
        bool correctionsVisible = true;  // 1021..1024 and the three powers
        bool apparentVisible = false;    // 2003, 2004 and 1025
        bool phaseEqualizationEnabled = true;
        bool currentAndUndercompensationEnabled = true;
        bool powersEnabled = true;
    };

    // The page's initial fields, before the first load.
    int NormalizedToCurrent = 1;
    int NormalizedToFrequency = 1;
    int PhaseEqualization = 1;
    int SubtractUndercompensation = 1;
    int ApplySignalFilter = 1;
    int SignalChannelIsCurrent = 0;
    int UnitMeasure = 0;
    int SignalComponent = 0;
    int ApparentValueKind = 0;
    float PowerInphase = 2.5f;
    float PowerModule = 2.0f;
    float PowerQuadrature = 2.0f;
    ControlState controls;

    void LoadFromConfiguration(const Configuration& c);

    void StoreToConfiguration(Configuration& c) const;

    // Whether the radio button `id` is checked.
    [[nodiscard]] bool RadioChecked(int id) const;

    // A click on a radio button or on one of the check boxes with a handler (1021, 1023,
    // 1025). Returns false for any other control. The caller refreshes the controls afterwards.
    bool OnCommand(int id);

    // Steps 2 to 5 of refreshing the controls: visibility, the forced values and enabling.
    void Refresh();

    // The three power edits: any number, no range. On failure the fields keep their values.
    [[nodiscard]] std::optional<ExchangeFailure> ReadPowers(std::string_view module,
                                                            std::string_view quadrature,
                                                            std::string_view inphase);
};

// The check boxes of the page and the options they stand for.
inline constexpr std::array<CheckFlag<SignalSettingsLogic>, 6> kSignalCheckFlags{{
    {signal_control::kSubtractUndercompensation, &SignalSettingsLogic::SubtractUndercompensation},
    {signal_control::kPhaseEqualization, &SignalSettingsLogic::PhaseEqualization},
    {signal_control::kNormalizedToCurrent, &SignalSettingsLogic::NormalizedToCurrent},
    {signal_control::kNormalizedToFrequency, &SignalSettingsLogic::NormalizedToFrequency},
    {signal_control::kFilter, &SignalSettingsLogic::ApplySignalFilter},
    {signal_control::kCurrentChannel, &SignalSettingsLogic::SignalChannelIsCurrent},
}};

}  // namespace orv
