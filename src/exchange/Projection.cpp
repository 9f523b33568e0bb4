#include "exchange/Projection.h"

#include <cmath>
#include <proj.h>

namespace orv {

struct Projection::Handles
{
    PJ_CONTEXT* context = nullptr;
    PJ* operation = nullptr;

    ~Handles()
    {
        if (operation != nullptr) {
            proj_destroy(operation);
        }
        if (context != nullptr) {
            proj_context_destroy(context);
        }
    }
};

namespace {

std::string LastError(PJ_CONTEXT* context)
{
    const int code = proj_context_errno(context);
    const char* text = code != 0 ? proj_context_errno_string(context, code) : nullptr;
    return text != nullptr ? text : "unknown CRS";
}

}  // namespace

Projection::Projection(std::unique_ptr<Handles> handles) : m_handles(std::move(handles)) {}

Projection::~Projection() = default;

std::unique_ptr<Projection> Projection::Create(std::string_view from, std::string_view to,
                                               std::string& error)
{
    auto handles = std::make_unique<Handles>();
    handles->context = proj_context_create();
    if (handles->context == nullptr) {
        error = "PROJ could not start";
        return nullptr;
    }
    // Messages go into the error text, not to stderr.
    proj_log_level(handles->context, PJ_LOG_NONE);
    const std::string source(from);
    const std::string target(to);
    PJ* operation =
        proj_create_crs_to_crs(handles->context, source.c_str(), target.c_str(), nullptr);
    if (operation == nullptr) {
        error = "'" + target + "': " + LastError(handles->context);
        return nullptr;
    }
    handles->operation = proj_normalize_for_visualization(handles->context, operation);
    proj_destroy(operation);
    if (handles->operation == nullptr) {
        error = "'" + target + "': " + LastError(handles->context);
        return nullptr;
    }
    return std::unique_ptr<Projection>(new Projection(std::move(handles)));
}

bool Projection::Transform(int direction, double& x, double& y) const
{
    PJ_COORD in = proj_coord(x, y, 0.0, HUGE_VAL);
    const PJ_COORD out = proj_trans(m_handles->operation, PJ_DIRECTION(direction), in);
    if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y)) {
        proj_errno_reset(m_handles->operation);
        return false;
    }
    x = out.xy.x;
    y = out.xy.y;
    return true;
}

bool Projection::Forward(double& x, double& y) const { return Transform(PJ_FWD, x, y); }

bool Projection::Inverse(double& x, double& y) const { return Transform(PJ_INV, x, y); }

bool IsKnownCrs(std::string_view definition, std::string& error)
{
    PJ_CONTEXT* context = proj_context_create();
    if (context == nullptr) {
        error = "PROJ could not start";
        return false;
    }
    proj_log_level(context, PJ_LOG_NONE);
    const std::string text(definition);
    PJ* crs = proj_create(context, text.c_str());
    bool known = false;
    if (crs == nullptr) {
        error = "PROJ does not know '" + text + "' (" + LastError(context) + ")";
    } else {
        const PJ_TYPE type = proj_get_type(crs);
        known = type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_PROJECTED_CRS;
        if (!known) {
            error = "'" + text +
                    "' is not a map CRS (use a projected or a geographic 2-D one, "
                    "for example EPSG:32633 or EPSG:4326)";
        }
        proj_destroy(crs);
    }
    proj_context_destroy(context);
    return known;
}

}  // namespace orv
