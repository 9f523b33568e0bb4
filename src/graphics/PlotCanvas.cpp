#include "graphics/PlotCanvas.h"

#include "base/NoValue.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace orv {

template <typename Plot>
void PlotCanvas::Bresenham(int x0, int y0, int x1, int y1, Plot plot)
{
    // Coordinates this far off come only from degenerate scales; walking them would take ages
    // and paint nothing.
    constexpr int kFar = 1 << 20;
    if (std::abs(x0) > kFar || std::abs(y0) > kFar || std::abs(x1) > kFar || std::abs(y1) > kFar) {
        return;
    }
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    int x = x0;
    int y = y0;
    for (int k = 0;; ++k) {
        plot(x, y, k);
        if (x == x1 && y == y1) {
            break;
        }
        const int e2 = 2 * error;
        if (e2 >= dy) {
            error += dy;
            x += sx;
        }
        if (e2 <= dx) {
            error += dx;
            y += sy;
        }
    }
}

bool PlotCanvas::Create(int width, int height)
{
    m_width = 0;
    m_height = 0;
    m_pixels.clear();
    m_pixels.shrink_to_fit();
    m_values.clear();
    m_values.shrink_to_fit();
    m_depthBand = Band{};
    if (width <= 0 || height <= 0) {
        return false;
    }
    const size_t count = size_t(width) * size_t(height);
    try {
        m_pixels.assign(count, PixelWordOf(kWhite));
    } catch (const std::bad_alloc&) {
        return false;
    }
    try {
        m_values.assign(count, kNoValue);
    } catch (const std::bad_alloc&) {
        m_values.clear();
    }
    m_width = width;
    m_height = height;
    ++m_changeCount;
    return true;
}

bool PlotCanvas::CopyFrom(const PlotCanvas& other)
{
    try {
        std::vector<PixelWord> pixels = other.m_pixels;
        std::vector<float> values = other.m_values;
        m_pixels = std::move(pixels);
        m_values = std::move(values);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_width = other.m_width;
    m_height = other.m_height;
    m_depthBand = other.m_depthBand;
    ++m_changeCount;
    return true;
}

void PlotCanvas::Clear()
{
    std::fill(m_pixels.begin(), m_pixels.end(), PixelWordOf(kWhite));
    std::fill(m_values.begin(), m_values.end(), kNoValue);
    m_depthBand = Band{};
    ++m_changeCount;
}

void PlotCanvas::MarkDepthBand(int left, int top, int right, int bottom)
{
    m_depthBand = Band{left, top, right, bottom};
}

bool PlotCanvas::InDepthBand(int x, int y) const
{
    return x >= m_depthBand.left && x < m_depthBand.right && y >= m_depthBand.top &&
           y < m_depthBand.bottom;
}

void PlotCanvas::SetPixel(int x, int y, Colour colour)
{
    if (!Contains(x, y)) {
        return;
    }
    m_pixels[size_t(y) * size_t(m_width) + size_t(x)] = PixelWordOf(colour);
    ++m_changeCount;
}

Colour PlotCanvas::GetPixel(int x, int y) const
{
    if (!Contains(x, y)) {
        return kNoColour;
    }
    return ColourOfPixelWord(m_pixels[size_t(y) * size_t(m_width) + size_t(x)]);
}

void PlotCanvas::SetValue(int x, int y, float value)
{
    if (!Contains(x, y) || m_values.empty()) {
        return;
    }
    m_values[size_t(y) * size_t(m_width) + size_t(x)] = value;
    ++m_changeCount;
}

float PlotCanvas::GetValue(int x, int y) const
{
    if (!Contains(x, y) || m_values.empty()) {
        return kNoValue;
    }
    return m_values[size_t(y) * size_t(m_width) + size_t(x)];
}

void PlotCanvas::FillRect(int left, int top, int right, int bottom, Colour colour)
{
    if (colour == kNoColour) {
        return;
    }
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, m_width);
    bottom = std::min(bottom, m_height);
    const PixelWord word = PixelWordOf(colour);
    for (int y = top; y < bottom; ++y) {
        PixelWord* row = &m_pixels[size_t(y) * size_t(m_width)];
        std::fill(row + left, row + std::max(left, right), word);
    }
    ++m_changeCount;
}

void PlotCanvas::FillBlock(int left, int top, int right, int bottom, PixelWord word, float value)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, m_width);
    bottom = std::min(bottom, m_height);
    if (left >= right || top >= bottom) {
        return;
    }
    for (int y = top; y < bottom; ++y) {
        const size_t row = size_t(y) * size_t(m_width);
        std::fill(m_pixels.begin() + std::ptrdiff_t(row) + left,
                  m_pixels.begin() + std::ptrdiff_t(row) + right, word);
        if (!m_values.empty()) {
            std::fill(m_values.begin() + std::ptrdiff_t(row) + left,
                      m_values.begin() + std::ptrdiff_t(row) + right, value);
        }
    }
    ++m_changeCount;
}

void PlotCanvas::DrawLine(int x0, int y0, int x1, int y1, Colour colour)
{
    if (colour == kNoColour) {
        return;
    }
    Bresenham(x0, y0, x1, y1, [&](int x, int y, int) { SetPixel(x, y, colour); });
}

void PlotCanvas::DrawDashedLine(int x0, int y0, int x1, int y1, Colour colour, int on, int off)
{
    if (colour == kNoColour) {
        return;
    }
    const int period = std::max(on, 1) + std::max(off, 0);
    Bresenham(x0, y0, x1, y1, [&](int x, int y, int k) {
        if (k % period < std::max(on, 1)) {
            SetPixel(x, y, colour);
        }
    });
}

bool PlotCanvas::ValueLine(int x0, int y0, int x1, int y1, float v0, float v1)
{
    if (IsNoValue(v0) || IsNoValue(v1)) {
        return false;
    }
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    const float step = steps > 0 ? (v1 - v0) / static_cast<float>(steps) : 0.0f;
    float v = v0;
    Bresenham(x0, y0, x1, y1, [&](int x, int y, int) {
        SetValue(x, y, v);
        v += step;
    });
    return true;
}

void PlotCanvas::ThickValueLine(int x0, int y0, int x1, int y1, float v0, float v1, int halfWidth)
{
    if (halfWidth <= 0) {
        return;
    }
    const bool steep = std::abs(y1 - y0) >= std::abs(x1 - x0);
    for (int d = -halfWidth; d <= halfWidth; ++d) {
        const int sx = steep ? d : 0;
        const int sy = steep ? 0 : d;
        if (!ValueLine(x0 + sx, y0 + sy, x1 + sx, y1 + sy, v0, v1)) {
            return;
        }
    }
}

void PlotCanvas::DrawRectangle(int left, int top, int right, int bottom, Colour pen, Colour brush)
{
    if (right <= left || bottom <= top) {
        return;
    }
    FillRect(left, top, right, bottom, brush);
    if (pen == kNoColour) {
        return;
    }
    DrawLine(left, top, right - 1, top, pen);
    DrawLine(left, bottom - 1, right - 1, bottom - 1, pen);
    DrawLine(left, top, left, bottom - 1, pen);
    DrawLine(right - 1, top, right - 1, bottom - 1, pen);
}

void PlotCanvas::DrawEllipse(int left, int top, int right, int bottom, Colour pen, Colour brush)
{
    if (right <= left || bottom <= top) {
        return;
    }
    // A pixel belongs to the ellipse when its centre lies inside; it is on the rim when one of
    // its four neighbours does not.
    const float cx = static_cast<float>(left + right - 1) * 0.5f;
    const float cy = static_cast<float>(top + bottom - 1) * 0.5f;
    const float a = static_cast<float>(right - left) * 0.5f;
    const float b = static_cast<float>(bottom - top) * 0.5f;
    const auto inside = [&](int x, int y) {
        const float u = (static_cast<float>(x) - cx) / a;
        const float v = (static_cast<float>(y) - cy) / b;
        return u * u + v * v <= 1.0f;
    };
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            if (!inside(x, y)) {
                continue;
            }
            const bool rim =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            const Colour c = rim ? pen : brush;
            if (c != kNoColour) {
                SetPixel(x, y, c);
            }
        }
    }
}

}  // namespace orv
