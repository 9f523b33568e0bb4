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

#include <cfloat>
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

    void LoadFromConfiguration(const Configuration& c)
    {
        NormalizedToCurrent = c.NormalizedToCurrent;
        NormalizedToFrequency = c.NormalizedToFrequency;
        PhaseEqualization = c.PhaseEqualization;
        SubtractUndercompensation = c.SubtractUndercompensation;
        ApplySignalFilter = c.ApplySignalFilter;
        SignalChannelIsCurrent = c.SignalChannelIsCurrent;
        UnitMeasure = c.UnitMeasure;
        SignalComponent = c.SignalComponent;
        ApparentValueKind = c.ApparentValueKind;
        PowerInphase = c.PowerInphase;
        PowerModule = c.PowerModule;
        PowerQuadrature = c.PowerQuadrature;
    }

    void StoreToConfiguration(Configuration& c) const
    {
        c.NormalizedToCurrent = NormalizedToCurrent;
        c.NormalizedToFrequency = NormalizedToFrequency;
        c.PhaseEqualization = PhaseEqualization;
        c.SubtractUndercompensation = SubtractUndercompensation;
        c.ApplySignalFilter = ApplySignalFilter;
        c.SignalChannelIsCurrent = SignalChannelIsCurrent;
        c.UnitMeasure = UnitMeasure;
        c.SignalComponent = SignalComponent;
        c.ApparentValueKind = ApparentValueKind;
        c.PowerInphase = PowerInphase;
        c.PowerModule = PowerModule;
        c.PowerQuadrature = PowerQuadrature;
    }

    // Whether the radio button `id` is checked.
    [[nodiscard]] bool RadioChecked(int id) const
    {
        switch (id) {
            case signal_control::kAdcQuantums:
                return UnitMeasure == 0;
            case signal_control::kApparentValues:
                return UnitMeasure == 1;
            case signal_control::kResistivity:
                return ApparentValueKind == 0;
            case signal_control::kConductivity:
                return ApparentValueKind == 1;
            case signal_control::kModule:
                return SignalComponent == 0;
            case signal_control::kQuadrature:
                return SignalComponent == 1;
            case signal_control::kInphase:
                return SignalComponent == 2;
            default:
                return false;
        }
    }

    // A click on a radio button or on one of the check boxes with a handler (1021, 1023,
    // 1025). Returns false for any other control. The caller refreshes the controls afterwards.
    bool OnCommand(int id)
    {
        switch (id) {
            case signal_control::kAdcQuantums:
                UnitMeasure = 0;
                return true;
            case signal_control::kApparentValues:
                UnitMeasure = 1;
                return true;
            case signal_control::kResistivity:
                ApparentValueKind = 0;
                return true;
            case signal_control::kConductivity:
                ApparentValueKind = 1;
                return true;
            case signal_control::kModule:
                SignalComponent = 0;
                return true;
            case signal_control::kQuadrature:
                SignalComponent = 1;
                return true;
            case signal_control::kInphase:
                SignalComponent = 2;
                return true;
            case signal_control::kPhaseEqualization:
                PhaseEqualization = PhaseEqualization ? 0 : 1;
                return true;
            case signal_control::kNormalizedToFrequency:
                NormalizedToFrequency = NormalizedToFrequency ? 0 : 1;
                return true;
            case signal_control::kFilter:
                ApplySignalFilter = ApplySignalFilter ? 0 : 1;
                return true;
            default:
                return false;
        }
    }

    // Steps 2 to 5 of refreshing the controls: visibility, the forced values and enabling.
    void Refresh()
    {
        if (UnitMeasure == 0) {
            controls.correctionsVisible = true;
            controls.apparentVisible = false;
        } else if (UnitMeasure == 1) {
            controls.correctionsVisible = false;
            controls.apparentVisible = true;
        }
        if (SignalComponent == 0) {
            PhaseEqualization = 0;
            controls.phaseEqualizationEnabled = false;
        } else if (SignalComponent == 1 || SignalComponent == 2) {
            controls.phaseEqualizationEnabled = true;
        }
        if (PhaseEqualization != 0) {
            NormalizedToCurrent = 1;
            SubtractUndercompensation = 1;
            controls.currentAndUndercompensationEnabled = false;
        } else {
            controls.currentAndUndercompensationEnabled = true;
        }
        controls.powersEnabled = NormalizedToFrequency != 0;
    }

    // The three power edits: any number, no range. On failure the fields keep their values.
    [[nodiscard]] std::optional<ExchangeFailure> ReadPowers(std::string_view module,
                                                            std::string_view quadrature,
                                                            std::string_view inphase)
    {
        float m = PowerModule;
        float q = PowerQuadrature;
        float i = PowerInphase;
        std::string message;
        if (!ReadFloatText(module, -FLT_MAX, FLT_MAX, m, message)) {
            return ExchangeFailure{signal_control::kPowerModule, message};
        }
        if (!ReadFloatText(quadrature, -FLT_MAX, FLT_MAX, q, message)) {
            return ExchangeFailure{signal_control::kPowerQuadrature, message};
        }
        if (!ReadFloatText(inphase, -FLT_MAX, FLT_MAX, i, message)) {
            return ExchangeFailure{signal_control::kPowerInphase, message};
        }
        PowerModule = m;
        PowerQuadrature = q;
        PowerInphase = i;
        return std::nullopt;
    }
};

}  // namespace orv
