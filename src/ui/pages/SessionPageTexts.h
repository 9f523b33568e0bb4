#pragma once
// The labels of the signal and view settings pages, as the dialog resources have them (the
// misspellings are the instrument's own and kept, operators know them by these words).

namespace orv::page_text {

// Signal settings (dialog 102).
inline constexpr const char* kMeasureUnits = "Measure units";
inline constexpr const char* kAdcQuantums = "ADC quantums";
inline constexpr const char* kApparentValues = "Apparent values";
inline constexpr const char* kResistivity = "Resistivity, Ohm * m";
inline constexpr const char* kConductivity = "Conductivity, millisiemen / m";
inline constexpr const char* kSubtractUndercompensation = "Substract undercompensation";
inline constexpr const char* kPhaseEqualization = "Phase qualization";
inline constexpr const char* kNormalizedToCurrent = "Normalized to current";
inline constexpr const char* kNormalizedToFrequency = "Normalized to frequency of power:";
inline constexpr const char* kFilter = "Filter";
inline constexpr const char* kSignal = "Signal";
inline constexpr const char* kModule = "Module";
inline constexpr const char* kQuadrature = "Quadrature component";
inline constexpr const char* kInphase = "Inphase component";
inline constexpr const char* kCurrentChannel = "Current channel (for developers only)";

// View settings (dialog 104).
inline constexpr const char* kDepth = "Depth:";
inline constexpr const char* kMetres = "m";
inline constexpr const char* kPixelRefinement = "Pixel refinement:";
inline constexpr const char* kSectionChart = "Section colour chart:";
inline constexpr const char* kMapChart = "Map colour chart:";
inline constexpr const char* kTo = "to";
inline constexpr const char* kTimer = "Timer:";
inline constexpr const char* kTimesEvery = "times every";
inline constexpr const char* kMs = "ms";
inline constexpr const char* kShowGraphics = "Show graphics";
inline constexpr const char* kSoundingCurve = "Sounding curve";
inline constexpr const char* kProfileCurveAfter = "Profile curve after";
inline constexpr const char* kStations = "stations";
inline constexpr const char* kShow = "Show";
inline constexpr const char* kPoints = "points";
inline constexpr const char* kSectionAfter = "Section after";
inline constexpr const char* kMapAfter = "Map after";
inline constexpr const char* kSections = "sections";

// The Colour menu (menu 150), in its order; 0 is a separator.
inline constexpr const char* kChange = "Change";
inline constexpr const char* kAppend = "Append";
inline constexpr const char* kReverse = "Reverse";
inline constexpr const char* kDeleteColour = "Delete";
inline constexpr const char* kRgb = "RGB";
inline constexpr const char* kRes2dinv = "RES2DINV";

}  // namespace orv::page_text
