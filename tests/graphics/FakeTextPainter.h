#pragma once
// A text painter with fixed-size glyphs that records every label, for tests that check where the
// scale frame puts its labels without depending on a font.

#include "graphics/PlotCanvas.h"
#include "graphics/TextPainter.h"

#include <string>
#include <string_view>
#include <vector>

namespace orv {

class FakeTextPainter final : public TextPainter
{
public:
    struct Label
    {
        int x;
        int y;
        std::string text;
    };

    static constexpr int kGlyphWidth = 6;
    static constexpr int kHeight = 13;

    TextExtent Measure(std::string_view text) override
    {
        return {int(text.size()) * kGlyphWidth, kHeight};
    }
    void Draw(PlotCanvas&, int x, int y, std::string_view text, Colour) override
    {
        labels.push_back({x, y, std::string(text)});
    }
    // One label, where the text itself goes.
    void DrawWithHalo(PlotCanvas& canvas, int x, int y, std::string_view text, Colour colour,
                      Colour, int) override
    {
        Draw(canvas, x, y, text, colour);
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const Label& l : labels) {
            texts.push_back(l.text);
        }
        return texts;
    }

    std::vector<Label> labels;
};

}  // namespace orv
