#include "graphics/TrackDrawing.h"

#include "config/Configuration.h"
#include "graphics/DrawMath.h"
#include "graphics/PlotCanvas.h"

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

struct Pixel
{
    int x = 0;
    int y = 0;
};

class TrackProjection
{
public:
    TrackProjection(const TrackSurveyData& survey, const FrameRect& rect, bool proportional)
        : m_left(rect.left), m_top(rect.top)
    {
        // The bounds hold the positioned records (the first of them is the origin) and the
        // current position.
        const int count = survey.Count();
        const LocalPoint here = survey.CurrentPosition();
        m_minX = m_maxX = here.x;
        m_minY = m_maxY = here.y;
        for (int i = 0; i < count; ++i) {
            if (!survey.IsPositioned(i)) {
                continue;
            }
            const LocalPoint p = survey.PositionOf(i);
            m_minX = std::min(m_minX, p.x);
            m_maxX = std::max(m_maxX, p.x);
            m_minY = std::min(m_minY, p.y);
            m_maxY = std::max(m_maxY, p.y);
        }
        if (m_maxX == m_minX) {
            m_maxX += 1.0f;
        }
        if (m_maxY == m_minY) {
            m_maxY += 1.0f;
        }
        m_sx = static_cast<float>(rect.Width()) / (m_maxX - m_minX);
        m_sy = static_cast<float>(rect.Height()) / (m_maxY - m_minY);
        if (proportional) {
            m_sx = m_sy = std::min(m_sx, m_sy);
        }
    }

    [[nodiscard]] Pixel Of(LocalPoint p) const
    {
        return {TruncateToInt((p.x - m_minX) * m_sx + static_cast<float>(m_left) + 0.5f),
                TruncateToInt((m_maxY - p.y) * m_sy + static_cast<float>(m_top) + 0.5f)};
    }

private:
    int m_left;
    int m_top;
    float m_minX = 0.0f;
    float m_maxX = 0.0f;
    float m_minY = 0.0f;
    float m_maxY = 0.0f;
    float m_sx = 1.0f;
    float m_sy = 1.0f;
};

void Circle(PlotCanvas& canvas, Pixel p, int half, Colour pen, Colour brush)
{
    canvas.DrawEllipse(p.x - half, p.y - half, p.x + half, p.y + half, pen, brush);
}

}  // namespace

bool DrawTrack(PlotCanvas& canvas, const Configuration& config, const TrackSurveyData& survey,
               const FrameRect& rect, const TrackStyle& style, const DrawMetrics& metrics)
{
    const int count = survey.Count();
    if (count == 0) {
        return false;
    }
    canvas.DrawRectangle(rect.left, rect.top, rect.right, rect.bottom, style.outline, style.fill);
    const FrameRect inner{rect.left + 2, rect.top + 2, rect.right - 2, rect.bottom - 2};
    const TrackProjection projection(survey, inner, config.RealScaling != 0);
    const Colour trackColour = config.EmptyStationColour;

    // A record sharing the previous record's row or column gets neither line nor circle: the
    // line goes on later from the last point drawn. Records without a position are not drawn.
    bool started = false;
    Pixel previous;
    Pixel pen;
    for (int i = 0; i < count; ++i) {
        if (!survey.IsPositioned(i)) {
            continue;
        }
        const Pixel p = projection.Of(survey.PositionOf(i));
        if (!started) {
            Circle(canvas, p, metrics.trackCircle, trackColour, style.fill);
            pen = p;
            started = true;
        } else if (p.x != previous.x && p.y != previous.y) {
            canvas.DrawLine(pen.x, pen.y, p.x, p.y, trackColour);
            Circle(canvas, p, metrics.trackCircle, trackColour, style.fill);
            pen = p;
        }
        previous = p;
    }

    const Pixel here = projection.Of(survey.CurrentPosition());
    const int cursor = survey.cursor;
    if (survey.IsPositioned(cursor - 1)) {
        const Pixel p = projection.Of(survey.PositionOf(cursor - 1));
        canvas.DrawDashedLine(p.x, p.y, here.x, here.y, trackColour, metrics.dashOn,
                              metrics.dashOff);
    }
    if (survey.IsPositioned(cursor + 1)) {
        const Pixel p = projection.Of(survey.PositionOf(cursor + 1));
        canvas.DrawDashedLine(p.x, p.y, here.x, here.y, trackColour, metrics.dashOn,
                              metrics.dashOff);
    }
    Circle(canvas, here, metrics.trackCircle, trackColour, style.fill);
    // A selected station without a position is to be measured again where the operator stands.
    const Pixel dot = survey.IsPositioned(cursor) ? projection.Of(survey.PositionOf(cursor)) : here;
    Circle(canvas, dot, metrics.trackCircle, config.CursorColour, config.CursorColour);
    return true;
}

}  // namespace orv
