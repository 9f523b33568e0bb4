#include "platform/QtTextPainter.h"

#include "base/AtomicFile.h"
#include "graphics/PlotCanvas.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

// 8 points at 96 dots per inch, rounded as the handheld's font mapper does: MulDiv(8, 96, 72).
constexpr int kLabelPixelSize = 11;

QString ToQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

QtTextPainter::QtTextPainter()
{
    m_font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    m_font.setStyleHint(QFont::SansSerif);
    m_font.setPixelSize(kLabelPixelSize);
    m_font.setStyleStrategy(QFont::NoAntialias);
    m_font.setHintingPreference(QFont::PreferFullHinting);
    m_font.setKerning(false);
}

void QtTextPainter::SetRatio(double ratio)
{
    const double scaled = ratio > 0.0 && ratio < 16.0 ? ratio * kLabelPixelSize : kLabelPixelSize;
    m_font.setPixelSize(std::max(kLabelPixelSize / 2, int(std::lround(scaled))));
}

TextExtent QtTextPainter::Measure(std::string_view text)
{
    const QFontMetrics metrics(m_font);
    return {metrics.horizontalAdvance(ToQString(text)), metrics.height()};
}

void QtTextPainter::Draw(PlotCanvas& canvas, int x, int y, std::string_view text, Colour colour)
{
    if (!canvas.IsCreated() || colour == kNoColour) {
        return;
    }
    QImage image = CanvasImage(canvas);
    QPainter painter(&image);
    painter.setFont(m_font);
    painter.setPen(QColor(int(RedOf(colour)), int(GreenOf(colour)), int(BlueOf(colour))));
    const QFontMetrics metrics(m_font);
    painter.drawText(x, y + metrics.ascent(), ToQString(text));
    painter.end();
    canvas.NoteChange();
}

QImage CanvasImage(PlotCanvas& canvas)
{
    return QImage(reinterpret_cast<uchar*>(canvas.PixelData()), canvas.Width(), canvas.Height(),
                  canvas.BytesPerLine(), QImage::Format_RGB32);
}

QImage CanvasImageCopy(const PlotCanvas& canvas)
{
    const QImage view(reinterpret_cast<const uchar*>(canvas.PixelData()), canvas.Width(),
                      canvas.Height(), canvas.BytesPerLine(), QImage::Format_RGB32);
    return view.copy();
}

std::vector<uint8_t> EncodeCanvasPng(const PlotCanvas& canvas)
{
    if (!canvas.IsCreated()) {
        return {};
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!CanvasImageCopy(canvas).save(&buffer, "PNG")) {
        return {};
    }
    return {bytes.begin(), bytes.end()};
}

bool SaveCanvasPng(const PlotCanvas& canvas, const std::string& path, std::string& error)
{
    const std::vector<uint8_t> png = EncodeCanvasPng(canvas);
    if (png.empty()) {
        error = "Could not encode the picture as PNG.";
        return false;
    }
    return WriteFileAtomically(path, png, error);
}

}  // namespace orv
