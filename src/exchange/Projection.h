#pragma once
// A coordinate operation between two CRSs through PROJ, axes in the order maps use: longitude
// (or easting) first, latitude (or northing) second, whatever the CRS's official axis order.
// Each object has its own PROJ context, so objects on different threads never share one.
//
//   std::string error;
//   auto utm = Projection::Create("EPSG:4326", "EPSG:32633", error);
//   double x = 15.0, y = 50.0;
//   if (utm && utm->Forward(x, y)) { ... x, y in metres ... }

#include <memory>
#include <string>
#include <string_view>

namespace orv {

class Projection
{
public:
    ~Projection();
    Projection(const Projection&) = delete;
    Projection& operator=(const Projection&) = delete;

    // Null, with PROJ's reason, when either definition is no CRS PROJ knows or no operation
    // joins them.
    [[nodiscard]] static std::unique_ptr<Projection> Create(std::string_view from,
                                                            std::string_view to,
                                                            std::string& error);
    // From `from` to `to`, in place; false when the point cannot be transformed (outside the
    // projection's domain).
    [[nodiscard]] bool Forward(double& x, double& y) const;
    [[nodiscard]] bool Inverse(double& x, double& y) const;

private:
    struct Handles;
    explicit Projection(std::unique_ptr<Handles> handles);
    [[nodiscard]] bool Transform(int direction, double& x, double& y) const;

    std::unique_ptr<Handles> m_handles;
};

// Whether PROJ knows `definition` as a geographic or projected 2-D CRS ("EPSG:32633", a PROJ
// string, WKT); false with the reason otherwise.
[[nodiscard]] bool IsKnownCrs(std::string_view definition, std::string& error);

}  // namespace orv
