#pragma once
// The ground under a simulated survey: apparent conductivity in mS/m as a function of the position
// (x along the profiles, y across them, metres) and of the depth the reading sees (metres). Low
// frequencies see deeper than high ones, so a simulated sounding reads the field at each
// frequency's depth.
//
// Built-in fields:
//   half-space   one conductivity everywhere;
//   layers       a top layer over a bottom one, with a smooth step at the given thickness;
//   body         a background with a buried conductive (or resistive) sphere whose effect
//                fades with the distance from its centre.

#include <string>

namespace orv::sim {

class GroundModel
{
public:
    // A homogeneous half-space of `sigma` mS/m (default: 20 mS/m, moist loam).
    static GroundModel HalfSpace(double sigma);
    static GroundModel Layers(double top, double bottom, double thickness);
    static GroundModel Body(double background, double body, double x, double y, double depth,
                            double radius);
    // Reads a model from text: "halfspace:SIGMA", "layers:TOP,BOTTOM,THICKNESS" or
    // "body:BACKGROUND,BODY,X,Y,DEPTH,RADIUS" (numbers in mS/m and metres). False with a
    // reason when the text is not one of these or a value is out of range.
    [[nodiscard]] static bool Parse(const std::string& text, GroundModel& model,
                                    std::string& error);

    GroundModel() = default;

    // Apparent conductivity in mS/m, never negative.
    [[nodiscard]] double Conductivity(double x, double y, double depth) const;
    [[nodiscard]] std::string Describe() const;

private:
    enum class Kind { HalfSpace, Layers, Body };

    Kind m_kind = Kind::HalfSpace;
    double m_background = 20.0;  // half-space, top layer or background, mS/m
    double m_other = 20.0;       // bottom layer or body, mS/m
    double m_x = 0.0;
    double m_y = 0.0;
    double m_depth = 0.0;  // layer thickness or depth of the body's centre, metres
    double m_radius = 1.0;
};

}  // namespace orv::sim
