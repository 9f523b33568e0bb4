#pragma once
// The canvas, label painter, configuration and prompt a drawing test draws with.

#include "FakePrompt.h"
#include "FakeTextPainter.h"
#include "SimulatedSurveys.h"
#include "base/NoValue.h"
#include "graphics/Drawing.h"
#include "graphics/PlotCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace orv {

// The bounding box of the pixels of `canvas` that hold a value; right and bottom exclusive.
inline FrameRect ValueBoundsOf(const PlotCanvas& canvas)
{
    FrameRect box{canvas.Width(), canvas.Height(), 0, 0};
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            if (!IsNoValue(canvas.GetValue(x, y))) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
        }
    }
    return box;
}

class DrawingTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_canvas.Create(240, 200)); }

    DrawContext Context() { return {m_canvas, m_text, *m_config, m_prompt}; }

    // The bounding box of the pixels that hold a value; right and bottom exclusive.
    FrameRect ValueBounds() const { return ValueBoundsOf(m_canvas); }

    // The pixel holding the largest value.
    void ArgMax(int& bestX, int& bestY) const
    {
        float best = -kNoValue;
        for (int y = 0; y < m_canvas.Height(); ++y) {
            for (int x = 0; x < m_canvas.Width(); ++x) {
                const float v = m_canvas.GetValue(x, y);
                if (!IsNoValue(v) && v > best) {
                    best = v;
                    bestX = x;
                    bestY = y;
                }
            }
        }
    }

    DrawingConfiguration m_config;
    FakePrompt m_prompt;
    FakeTextPainter m_text;
    PlotCanvas m_canvas;
    const FrameRect m_frame{0, 0, 240, 200};
};

}  // namespace orv
