#pragma once
// Labels of the scale frame go through this interface: the platform draws them with its own font
// machinery into the canvas's pixel layer (platform/QtTextPainter draws with QPainter on a QImage
// wrapping the same buffer). The labels are 8-point Arial, as on the handheld; any metric
// compatible face will do.

#include "base/Colour.h"

#include <string_view>

namespace orv {

class PlotCanvas;

struct TextExtent
{
    int width = 0;
    int height = 0;  // the font's line height: ascent plus descent
};

class TextPainter
{
public:
    virtual ~TextPainter() = default;
    // The size in pixels `text` takes in the label font.
    [[nodiscard]] virtual TextExtent Measure(std::string_view text) = 0;
    // Draws `text` transparently (only the glyphs touch the pixels) with the top-left corner of
    // its box at (x, y), clipped to the canvas. The value layer is not touched.
    virtual void Draw(PlotCanvas& canvas, int x, int y, std::string_view text, Colour colour) = 0;
    // Draws `text` as Draw does over a halo `halo` pixels wide in `haloColour` (the text drawn
    // shifted by the halo in the four directions first), so it stays readable over a colour map.
    // A painter that can do it in one pass may do so.
    virtual void DrawWithHalo(PlotCanvas& canvas, int x, int y, std::string_view text,
                              Colour colour, Colour haloColour, int halo)
    {
        for (int d = 1; d <= halo; ++d) {
            Draw(canvas, x - d, y, text, haloColour);
            Draw(canvas, x + d, y, text, haloColour);
            Draw(canvas, x, y - d, text, haloColour);
            Draw(canvas, x, y + d, text, haloColour);
        }
        Draw(canvas, x, y, text, colour);
    }
};

}  // namespace orv
