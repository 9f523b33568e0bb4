#pragma once
// The drawing surface of a Main page: a screen-sized pixel layer and, under it, a parallel layer
// of 32-bit floats holding the signal value painted at each pixel (NoValue where nothing was
// painted), which the tap read-out reads back. x grows to the right, y downward, (0, 0) is the
// top-left pixel; every operation ignores what falls outside the canvas.
//
// The pixels are 32-bit words 0xFFRRGGBB, the layout of QImage::Format_RGB32, so the Qt layer
// wraps the buffer in a QImage to draw text into it and to copy it to the screen without any
// conversion. A Colour (0x00BBGGRR) becomes a pixel word once, by PixelWordOf, at the boundary;
// drawing loops that fill many pixels with one colour convert it first and then store words.

#include "base/Colour.h"

#include <cstdint>
#include <vector>

namespace orv {

using PixelWord = uint32_t;

// The pixel word of a colour: 0xFFRRGGBB. kNoColour keeps its low 24 bits, white.
constexpr PixelWord PixelWordOf(Colour colour)
{
    return 0xFF000000u | RedOf(colour) << 16 | GreenOf(colour) << 8 | BlueOf(colour);
}

constexpr Colour ColourOfPixelWord(PixelWord word)
{
    return MakeColour(word >> 16, word >> 8, word);
}

constexpr Colour kWhite = 0x00FFFFFFu;
constexpr Colour kBlack = 0x00000000u;

class PlotCanvas
{
public:
    PlotCanvas() = default;
    PlotCanvas(const PlotCanvas&) = delete;
    PlotCanvas& operator=(const PlotCanvas&) = delete;
    PlotCanvas(PlotCanvas&&) = default;
    PlotCanvas& operator=(PlotCanvas&&) = default;

    // Allocates both layers (white pixels, values all NoValue). False, with the canvas empty,
    // when the pixel layer cannot be allocated or the size is not positive. When only the value
    // layer cannot be allocated the canvas works without it (HasValueLayer() is false): value
    // writes are ignored and reads give NoValue, and the owner may try Create again later.
    [[nodiscard]] bool Create(int width, int height);
    // Copies another canvas's pixels and values (a scratch copy for an overlay). False when the
    // layers cannot be allocated; the canvas is then as it was.
    [[nodiscard]] bool CopyFrom(const PlotCanvas& other);

    [[nodiscard]] int Width() const { return m_width; }
    [[nodiscard]] int Height() const { return m_height; }
    [[nodiscard]] bool IsCreated() const { return m_width > 0; }
    [[nodiscard]] bool HasValueLayer() const { return !m_values.empty(); }
    [[nodiscard]] uint32_t ChangeCount() const { return m_changeCount; }
    [[nodiscard]] bool Contains(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < m_width && y < m_height;
    }

    // Every value becomes NoValue, every pixel white.
    void Clear();

    void SetPixel(int x, int y, Colour colour);
    // kNoColour outside the canvas.
    [[nodiscard]] Colour GetPixel(int x, int y) const;
    void SetValue(int x, int y, float value);
    // NoValue outside the canvas or without a value layer.
    [[nodiscard]] float GetValue(int x, int y) const;

    // Fills the rectangle left..right - 1, top..bottom - 1 (clipped) with one colour.
    void FillRect(int left, int top, int right, int bottom, Colour colour);
    // Paints a block with one pixel word and one value (clipped): the inner loop of maps and
    // sections, which convert the cell's colour once.
    void FillBlock(int left, int top, int right, int bottom, PixelWord word, float value);

    // Bresenham line including both end points; kNoColour draws nothing.
    void DrawLine(int x0, int y0, int x1, int y1, Colour colour);
    // The same line with a dash pattern of `on` pixels drawn and `off` pixels skipped.
    void DrawDashedLine(int x0, int y0, int x1, int y1, Colour colour, int on, int off);
    // Along the path of DrawLine, stores values going linearly from v0 at the start to v1 at the
    // end. Does nothing, and returns false, when either end value is NoValue.
    bool ValueLine(int x0, int y0, int x1, int y1, float v0, float v1);
    // 2 * halfWidth + 1 ValueLines side by side, shifted in x when the line is steep
    // (|y1 - y0| >= |x1 - x0|), otherwise in y. Nothing when halfWidth <= 0.
    void ThickValueLine(int x0, int y0, int x1, int y1, float v0, float v1, int halfWidth);
    // The rectangle's outline (left..right - 1, top..bottom - 1) in `pen` over a `brush` fill;
    // kNoColour for either leaves it out.
    void DrawRectangle(int left, int top, int right, int bottom, Colour pen, Colour brush);
    // The ellipse inscribed in the rectangle left..right - 1, top..bottom - 1: its rim in `pen`,
    // the inside in `brush`; kNoColour for either leaves it out.
    void DrawEllipse(int left, int top, int right, int bottom, Colour pen, Colour brush);

    // The pixel layer, row after row, Width() words per row; for the Qt layer.
    [[nodiscard]] PixelWord* PixelData() { return m_pixels.data(); }
    [[nodiscard]] const PixelWord* PixelData() const { return m_pixels.data(); }
    // The grid a map is computed in before it is painted, kept with the canvas so that a redraw
    // reuses its memory instead of taking fresh pages from the system every frame (a 3840 x
    // 2160 map grids 33 MB). It holds whatever the last drawing left in it.
    [[nodiscard]] std::vector<float>& WorkingCells() { return m_working; }

    // The value layer, laid out as the pixels; nullptr without one.
    [[nodiscard]] float* ValueData() { return m_values.empty() ? nullptr : m_values.data(); }
    [[nodiscard]] int BytesPerLine() const { return m_width * int(sizeof(PixelWord)); }
    // Marks a change made through PixelData (text drawn by the platform).
    void NoteChange() { ++m_changeCount; }

    // Where the value layer holds depths in metres rather than signal values (the sounding
    // curve's depth axis): left..right - 1, top..bottom - 1. The tap read-out names the unit
    // after it. Clear forgets it.
    void MarkDepthBand(int left, int top, int right, int bottom);
    [[nodiscard]] bool InDepthBand(int x, int y) const;

private:
    template <typename Plot>
    static void Bresenham(int x0, int y0, int x1, int y1, Plot plot);

    int m_width = 0;
    int m_height = 0;
    std::vector<PixelWord> m_pixels;
    std::vector<float> m_values;
    std::vector<float> m_working;
    uint32_t m_changeCount = 0;
    struct Band
    {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };
    Band m_depthBand;
};

}  // namespace orv
