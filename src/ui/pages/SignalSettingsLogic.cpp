#include "ui/pages/SignalSettingsLogic.h"

#include <cfloat>
#include <string>

namespace orv {

void SignalSettingsLogic::LoadFromConfiguration(const Configuration& c)
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

void SignalSettingsLogic::StoreToConfiguration(Configuration& c) const
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

bool SignalSettingsLogic::RadioChecked(int id) const
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

bool SignalSettingsLogic::OnCommand(int id)
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

void SignalSettingsLogic::Refresh()
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

std::optional<ExchangeFailure> SignalSettingsLogic::ReadPowers(std::string_view module,
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

}  // namespace orv
