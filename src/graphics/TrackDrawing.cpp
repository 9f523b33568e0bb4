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
        const int count = survey.Count();
        LocalPoint origin = survey.PositionOf(0);
        m_minX = m_maxX = origin.x;
        m_minY = m_maxY = origin.y;
        for (int i = 1; i <= count; ++i) {
            const LocalPoint p = i == count ? survey.CurrentPosition() : survey.PositionOf(i);
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
    // line goes on later from the last point drawn.
    Pixel previous = projection.Of(survey.PositionOf(0));
    Pixel pen = previous;
    Circle(canvas, previous, metrics.trackCircle, trackColour, style.fill);
    for (int i = 1; i < count; ++i) {
        const Pixel p = projection.Of(survey.PositionOf(i));
        if (p.x != previous.x && p.y != previous.y) {
            canvas.DrawLine(pen.x, pen.y, p.x, p.y, trackColour);
            Circle(canvas, p, metrics.trackCircle, trackColour, style.fill);
            pen = p;
        }
        previous = p;
    }

    const Pixel here = projection.Of(survey.CurrentPosition());
    const int cursor = survey.cursor;
    if (cursor > 0 && cursor - 1 < count) {
        const Pixel p = projection.Of(survey.PositionOf(cursor - 1));
        canvas.DrawDashedLine(p.x, p.y, here.x, here.y, trackColour, metrics.dashOn, metrics.dashOff);
    }
    if (cursor >= 0 && cursor + 1 < count) {
        const Pixel p = projection.Of(survey.PositionOf(cursor + 1));
        canvas.DrawDashedLine(p.x, p.y, here.x, here.y, trackColour, metrics.dashOn, metrics.dashOff);
    }
    Circle(canvas, here, metrics.trackCircle, trackColour, style.fill);
    const Pixel dot =
        cursor >= 0 && cursor < count ? projection.Of(survey.PositionOf(cursor)) : here;
    Circle(canvas, dot, metrics.trackCircle, config.CursorColour, config.CursorColour);
    return true;
}

}  // namespace orv
