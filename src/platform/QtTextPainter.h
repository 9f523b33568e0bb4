#pragma once
// Labels drawn with QPainter into the canvas: a QImage of format RGB32 wraps the canvas's own
// pixel buffer (the canvas keeps its pixels as 0xFFRRGGBB words), so text lands in the same
// pixels the core paints and nothing is copied. The font is 8-point Arial at the handheld's
// 96 dots per inch, an 11-pixel em, taken from Liberation Sans (metric compatible, installed by
// scripts/deps) without antialiasing, so label widths and golden images stay those of the
// handheld. A QGuiApplication must exist before the first painter is made.

#include "graphics/TextPainter.h"

#include <QFont>
#include <QImage>

#include <string>
#include <vector>

namespace orv {

class PlotCanvas;

class QtTextPainter final : public TextPainter
{
public:
    QtTextPainter();

    TextExtent Measure(std::string_view text) override;
    void Draw(PlotCanvas& canvas, int x, int y, std::string_view text, Colour colour) override;

    [[nodiscard]] const QFont& Font() const { return m_font; }
    // A canvas in device pixels of a screen with this device-pixel ratio: the em grows with it
    // (11 pixels at ratio 1, unchanged there).
    void SetRatio(double ratio);

private:
    QFont m_font;
};

// A QImage (RGB32) over the canvas's pixels, valid while the canvas lives and is not
// re-created: paint it to the screen as it is.
QImage CanvasImage(PlotCanvas& canvas);
// A deep copy of the canvas's pixels as an RGB32 image, for saving.
QImage CanvasImageCopy(const PlotCanvas& canvas);

// The canvas as a PNG file, written atomically. False with the reason when encoding or writing
// failed; an existing file is then unchanged.
[[nodiscard]] bool SaveCanvasPng(const PlotCanvas& canvas, const std::string& path,
                                 std::string& error);
// The PNG bytes of the canvas; empty when encoding failed.
std::vector<uint8_t> EncodeCanvasPng(const PlotCanvas& canvas);

}  // namespace orv
