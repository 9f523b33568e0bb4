#include "sim/GroundModel.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace orv::sim {

namespace {

// Comma-separated finite numbers; false when any is missing or not a number.
bool ParseNumbers(const std::string& text, std::vector<double>& out)
{
    out.clear();
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty()) {
            return false;
        }
        char* end = nullptr;
        const double value = std::strtod(item.c_str(), &end);
        if (end == item.c_str() || *end != '\0' || !std::isfinite(value)) {
            return false;
        }
        out.push_back(value);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

}  // namespace

GroundModel GroundModel::HalfSpace(double sigma)
{
    GroundModel m;
    m.m_kind = Kind::HalfSpace;
    m.m_background = sigma;
    m.m_other = sigma;
    return m;
}

GroundModel GroundModel::Layers(double top, double bottom, double thickness)
{
    GroundModel m;
    m.m_kind = Kind::Layers;
    m.m_background = top;
    m.m_other = bottom;
    m.m_depth = thickness;
    return m;
}

GroundModel GroundModel::Body(double background, double body, double x, double y, double depth,
                              double radius)
{
    GroundModel m;
    m.m_kind = Kind::Body;
    m.m_background = background;
    m.m_other = body;
    m.m_x = x;
    m.m_y = y;
    m.m_depth = depth;
    m.m_radius = radius;
    return m;
}

bool GroundModel::Parse(const std::string& text, GroundModel& model, std::string& error)
{
    const size_t colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    std::vector<double> v;
    if (colon == std::string::npos || !ParseNumbers(text.substr(colon + 1), v)) {
        error = "cannot read the ground model '" + text +
                "' (say halfspace:SIGMA, layers:TOP,BOTTOM,THICKNESS or "
                "body:BACKGROUND,BODY,X,Y,DEPTH,RADIUS)";
        return false;
    }
    for (size_t i = 0; i < v.size(); ++i) {
        // Conductivities and lengths alike must not be negative; positions may be.
        const bool position = kind == "body" && (i == 2 || i == 3);
        if (!position && v[i] < 0) {
            error = "the ground model '" + text + "' has a negative value";
            return false;
        }
    }
    if (kind == "halfspace" && v.size() == 1) {
        model = HalfSpace(v[0]);
    } else if (kind == "layers" && v.size() == 3 && v[2] > 0) {
        model = Layers(v[0], v[1], v[2]);
    } else if (kind == "body" && v.size() == 6 && v[5] > 0) {
        model = Body(v[0], v[1], v[2], v[3], v[4], v[5]);
    } else {
        error = "the ground model '" + text +
                "' has the wrong number of values, or a zero thickness or radius";
        return false;
    }
    return true;
}

double GroundModel::Conductivity(double x, double y, double depth) const
{
    switch (m_kind) {
        case Kind::HalfSpace:
            return m_background;
        case Kind::Layers: {
            // A reading sees an average over depth, so the step between the layers is smooth.
            const double w = 1.0 / (1.0 + std::exp(-(depth - m_depth) / (0.25 * m_depth)));
            return m_background + (m_other - m_background) * w;
        }
        case Kind::Body: {
            const double dx = x - m_x;
            const double dy = y - m_y;
            const double dz = depth - m_depth;
            const double d2 = (dx * dx + dy * dy + dz * dz) / (m_radius * m_radius);
            return std::max(0.0, m_background + (m_other - m_background) * std::exp(-d2));
        }
    }
    return m_background;
}

std::string GroundModel::Describe() const
{
    char buffer[200];
    switch (m_kind) {
        case Kind::HalfSpace:
            std::snprintf(buffer, sizeof buffer, "half-space of %g mS/m", m_background);
            break;
        case Kind::Layers:
            std::snprintf(buffer, sizeof buffer, "%g mS/m over %g mS/m below %g m", m_background,
                          m_other, m_depth);
            break;
        case Kind::Body:
            std::snprintf(buffer, sizeof buffer,
                          "%g mS/m with a body of %g mS/m at x %g, y %g, %g m deep, radius %g m",
                          m_background, m_other, m_x, m_y, m_depth, m_radius);
            break;
    }
    return buffer;
}

}  // namespace orv::sim
