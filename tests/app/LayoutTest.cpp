// Every page of the sheet at the handheld's 240x320, at 800x600 and at 1920x1080, with the status
// strip in its longest state: no two visible controls overlap, none is cut off by the window or
// its page, every control's text fits it, and at 240x320 every button is at least 24x24 pixels.
// Setup and settings pages may scroll (their controls need only fit the scrolled contents); the
// Main pages may not. With ORV_SCREENSHOT_DIR set, each page is saved there as
// layout-<size>-<page>.png.

#include "SheetFixture.h"
#include "session/StatusStrip.h"
#include "ui/CPropertyPageBase.h"
#include "ui/CStatusStrip.h"
#include "ui/pages/CMainPage.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QToolButton>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orv {
namespace {

// The strip with every item it can show, each at its longest.
StripInput LongestStrip()
{
    StripInput in;
    in.session = true;
    in.instrument.state = InstrumentLink::NotAnswering;
    in.instrument.port = "/dev/rfcomm15 (COM15:)";
    in.instrument.reason = "no reply within 40 s";
    in.instrument.centivolts = 1012;
    in.track = true;
    in.gps.state = GpsStripInput::State::Lost;
    in.gps.port = "/dev/rfcomm16 (COM16:)";
    in.handheldPercent = 9;
    in.instrumentSerial = 12345;
    in.standIn = CalibrationId{65432, 2026, 12, 31};
    in.unpositioned = 12345;
    return in;
}

struct Size
{
    int width;
    int height;
};

// The widgets a user sees and handles: labels, buttons, edits, lists and the painted areas.
bool IsControl(const QWidget* w)
{
    if (qobject_cast<const QGroupBox*>(w) != nullptr) {
        return false;  // a frame around controls
    }
    if (qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
        qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w)) {
        return true;
    }
    // The Main pages' graphic and overview and the view settings' colour strips.
    return w->objectName().startsWith(QStringLiteral("control")) &&
           w->findChildren<QWidget*>().isEmpty();
}

QString Describe(const QWidget* w)
{
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        text = label->text();
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        text = button->text();
    }
    return QStringLiteral("%1 '%2' \"%3\" %4,%5 %6x%7")
        .arg(QString::fromUtf8(w->metaObject()->className()), w->objectName(), text.left(40))
        .arg(w->mapTo(w->window(), QPoint()).x())
        .arg(w->mapTo(w->window(), QPoint()).y())
        .arg(w->width())
        .arg(w->height());
}

// The part of the widget that its ancestors let show, up to the window or the contents of a
// scroll area (whose contents may be scrolled into view), in window coordinates.
QRect ShownPart(const QWidget* w, bool& scrolled)
{
    scrolled = false;
    QRect shown(w->mapTo(w->window(), QPoint()), w->size());
    for (const QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget()) {
        const auto* area = qobject_cast<const QAbstractScrollArea*>(p->parentWidget());
        if (area != nullptr && area->viewport() == p) {
            scrolled = true;
            break;
        }
        shown &= QRect(p->mapTo(p->window(), QPoint()), p->size());
    }
    return shown;
}

// Whether the text of the control fits inside it; `why` says how it does not.
bool TextFits(const QWidget* w, QString& why)
{
    const QFontMetrics metrics(w->font());
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty() || label->textFormat() == Qt::RichText ||
            Qt::mightBeRichText(label->text())) {
            // Rich text (the status strip) wraps: all of it must be shown.
            if (label->wordWrap() && label->hasHeightForWidth()) {
                const int needed = label->heightForWidth(label->width());
                if (needed > label->height()) {
                    why = QStringLiteral("needs %1 px of height").arg(needed);
                    return false;
                }
            }
            return true;
        }
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                          -label->margin(), -label->margin());
        const QRect needed = metrics.boundingRect(
            room, int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0),
            label->text());
        if (needed.width() > room.width() || needed.height() > room.height()) {
            why = QStringLiteral("text needs %1x%2, has %3x%4")
                      .arg(needed.width())
                      .arg(needed.height())
                      .arg(room.width())
                      .arg(room.height());
            return false;
        }
        return true;
    }
    if (qobject_cast<const QCheckBox*>(w) != nullptr ||
        qobject_cast<const QRadioButton*>(w) != nullptr) {
        const QSize hint = w->sizeHint();
        if (hint.width() > w->width() || hint.height() > w->height()) {
            why = QStringLiteral("needs %1x%2").arg(hint.width()).arg(hint.height());
            return false;
        }
        return true;
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        const int needed = metrics.horizontalAdvance(button->text()) + 4;
        if (!button->text().isEmpty() && (needed > button->contentsRect().width() ||
                                          metrics.height() > button->contentsRect().height())) {
            why = QStringLiteral("text needs %1 px").arg(needed);
            return false;
        }
        return true;
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        const int needed = metrics.horizontalAdvance(edit->text()) + 6;
        if (needed > edit->width() || metrics.height() > edit->height()) {
            why = QStringLiteral("text needs %1 px").arg(needed);
            return false;
        }
        return true;
    }
    if (const auto* list = qobject_cast<const QComboBox*>(w)) {
        const int needed = metrics.horizontalAdvance(list->currentText()) + 20;
        if (needed > list->width()) {
            why = QStringLiteral("text needs %1 px").arg(needed);
            return false;
        }
    }
    return true;
}

class Layout : public SheetFixture
{
protected:
    // Stores `count` measurements whose values change from station to station, so the map and
    // the section show colours and the curves have shape.
    void MeasureVaried(int count)
    {
        for (int i = 0; i < count; ++i) {
            MeasurementSlot slot;
            const int station = i % 20;
            const int profile = i / 20;
            for (size_t b = 0; b < kMaskOffset; ++b) {
                // The low byte of every 24-bit value: a smooth bump over the survey.
                const int bump = 100 - (station - 10) * (station - 10) - (profile - 2) * 9;
                slot.bytes[b] = static_cast<uint8_t>(b % 3 == 2 ? 60 + bump + int(b) : b * 7);
            }
            slot.bytes[kMaskOffset] = 0xFF;
            slot.bytes[kMaskOffset + 1] = 0x3F;
            slot.bytes[kSerialOffset] = 9;
            ASSERT_TRUE(m_sheet->CurrentSurvey()->StoreMeasurement(slot));
        }
    }

    // Checks the active page at the window's present size.
    void CheckPage(const Size& size, const std::string& name)
    {
        SCOPED_TRACE(name + " at " + std::to_string(size.width) + "x" +
                     std::to_string(size.height));
        // The Main pages ask for the full screen; the test keeps the window at its size.
        m_sheet->showNormal();
        m_sheet->resize(size.width, size.height);
        QApplication::processEvents();
        m_sheet->findChild<CStatusStrip*>(QStringLiteral("statusStrip"))->Refresh();
        QApplication::processEvents();
        ASSERT_EQ(m_sheet->size(), QSize(size.width, size.height));
        const QImage picture = m_sheet->grab().toImage();
        if (const char* folder = std::getenv("ORV_SCREENSHOT_DIR")) {
            picture.save(QStringLiteral("%1/layout-%2x%3-%4.png")
                             .arg(QString::fromUtf8(folder))
                             .arg(size.width)
                             .arg(size.height)
                             .arg(QString::fromStdString(name)));
        }

        CPropertyPageBase* page = m_sheet->Page(m_sheet->Pages()[size_t(PageIndex())]);
        const bool mainPage = page->Id() == PageId::MainGrid || page->Id() == PageId::MainTrack;
        std::vector<const QWidget*> controls;
        auto* strip = m_sheet->findChild<QWidget*>(QStringLiteral("statusStrip"));
        controls.push_back(strip);
        for (const QWidget* w : page->findChildren<QWidget*>()) {
            if (w->isVisibleTo(m_sheet.get()) && IsControl(w)) {
                controls.push_back(w);
            }
        }
        ASSERT_GT(controls.size(), 3u);
        const QRect window(QPoint(), m_sheet->size());
        for (size_t i = 0; i < controls.size(); ++i) {
            const QWidget* w = controls[i];
            bool scrolled = false;
            const QRect whole(w->mapTo(m_sheet.get(), QPoint()), w->size());
            const QRect shown = ShownPart(w, scrolled);
            // The strip's one line may be swiped on a narrow window; the Main page never.
            EXPECT_FALSE(mainPage && scrolled && w != strip)
                << "the Main page scrolls: " << Describe(w).toStdString();
            EXPECT_EQ(shown, whole) << "cut off: " << Describe(w).toStdString();
            if (!scrolled) {
                EXPECT_TRUE(window.contains(whole)) << "outside: " << Describe(w).toStdString();
            }
            EXPECT_FALSE(w->width() <= 0 || w->height() <= 0) << Describe(w).toStdString();
            QString why;
            EXPECT_TRUE(TextFits(w, why)) << Describe(w).toStdString() << ": " << why.toStdString();
            if (qobject_cast<const QAbstractButton*>(w) != nullptr &&
                qobject_cast<const QCheckBox*>(w) == nullptr &&
                qobject_cast<const QRadioButton*>(w) == nullptr) {
                EXPECT_GE(w->width(), 24) << "too small to hit: " << Describe(w).toStdString();
                EXPECT_GE(w->height(), 24) << "too small to hit: " << Describe(w).toStdString();
            }
            for (size_t j = i + 1; j < controls.size(); ++j) {
                const QWidget* v = controls[j];
                if (w->isAncestorOf(v) || v->isAncestorOf(w)) {
                    continue;
                }
                const QRect other(v->mapTo(m_sheet.get(), QPoint()), v->size());
                EXPECT_FALSE(whole.intersects(other))
                    << Describe(w).toStdString() << " overlaps " << Describe(v).toStdString();
            }
        }
    }

    int PageIndex() const
    {
        const auto* tabs = m_sheet->findChild<QTabWidget*>(QStringLiteral("sheetTabs"));
        return tabs->currentIndex();
    }

    void CheckAllPages(const Size& size)
    {
        ASSERT_EQ(m_sheet->Pages().size(), 2u);
        ASSERT_TRUE(m_sheet->SetActivePage(0));
        CheckPage(size, "static-settings");
        ASSERT_TRUE(m_sheet->SetActivePage(1));
        CheckPage(size, "other-settings");
        ASSERT_TRUE(m_sheet->SetActivePage(0));

        BeginWithMode(0);  // Map
        Measure(65);       // three profiles and more: the map
        ASSERT_EQ(m_sheet->Pages().size(), 3u);
        ASSERT_TRUE(m_sheet->SetActivePage(0));
        CheckPage(size, "settings");
        ASSERT_TRUE(m_sheet->SetActivePage(1));
        CheckPage(size, "view-settings");
        ASSERT_TRUE(m_sheet->SetActivePage(2));
        CheckPage(size, "main-map");

        m_prompt.answers.push_back(Answer::No);  // "Save changes?"
        m_sheet->SendCommandToSheet(command_id::kNew);
        QApplication::processEvents();
        ASSERT_EQ(m_sheet->Pages().size(), 2u);
        BeginWithMode(3);  // GPS track
        ASSERT_EQ(m_sheet->Pages().size(), 4u);
        ASSERT_TRUE(m_sheet->SetActivePage(2));
        CheckPage(size, "main-track");
        ASSERT_TRUE(m_sheet->SetActivePage(3));
        CheckPage(size, "gps");
    }
};

TEST_F(Layout, EveryPageFitsFromTheHandheldToFullHd)
{
    for (const Size size : {Size{240, 320}, Size{800, 600}, Size{1920, 1080}}) {
        MakeSheet();
        m_sheet->findChild<CStatusStrip*>(QStringLiteral("statusStrip"))->SetGather(LongestStrip);
        CheckAllPages(size);
        m_sheet.reset();
    }
}

// At a device-pixel ratio of 2 (QT_SCALE_FACTOR=2, the ctest Layout.HighDensityScreen) every
// page fits at 1920x1080 logical pixels, 3840x2160 on the screen, and the graphic is drawn in
// device pixels. At ratio 1 there is nothing to see here.
TEST_F(Layout, EveryPageFitsOnAHighDensityScreen)
{
    if (qApp->devicePixelRatio() < 1.5) {
        GTEST_SKIP() << "a screen of ratio 1";
    }
    MakeSheet();
    m_sheet->findChild<CStatusStrip*>(QStringLiteral("statusStrip"))->SetGather(LongestStrip);
    CheckAllPages(Size{1920, 1080});
    m_sheet.reset();

    MakeSheet();
    BeginWithMode(0);
    Measure(30);
    m_sheet->showNormal();
    m_sheet->resize(960, 540);
    QApplication::processEvents();
    auto* main = static_cast<CMainPage*>(m_sheet->ActivePage());
    main->PaintNow();
    const double ratio = main->GraphicArea()->devicePixelRatioF();
    EXPECT_EQ(main->Canvas().Width(), int(main->GraphicArea()->width() * ratio));
    EXPECT_EQ(main->Canvas().Height(), int(main->GraphicArea()->height() * ratio));
}

// The four graphics of a Map survey fit the handheld's screen and a full-HD one, each with its
// legend and numbered axes: map, section, profile curve and sounding curve, stepped through with
// OK. With ORV_SCREENSHOT_DIR set they are saved as layout-<size>-<graphic>.png.
TEST_F(Layout, EveryGraphicIsDrawnFromTheHandheldToFullHd)
{
    for (const Size size : {Size{240, 320}, Size{1920, 1080}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        MakeSheet();
        Config().ShowProfileCurves = 1;
        BeginWithMode(0);
        MeasureVaried(65);
        m_sheet->showNormal();
        m_sheet->resize(size.width, size.height);
        ASSERT_TRUE(m_sheet->SetActivePage(1));
        ASSERT_TRUE(m_sheet->SetActivePage(2));
        // Twice: the page's narrow layout, chosen at the first size, lets the window shrink.
        for (int i = 0; i < 2; ++i) {
            m_sheet->showNormal();
            m_sheet->resize(size.width, size.height);
            QApplication::processEvents();
        }
        ASSERT_EQ(m_sheet->size(), QSize(size.width, size.height));
        auto* main = static_cast<CMainPage*>(m_sheet->ActivePage());
        const struct
        {
            int frame;
            const char* name;
        } graphics[] = {
            {1001, "map"}, {1002, "section"}, {1003, "profile-curve"}, {1004, "sounding-curve"}};
        for (const auto& graphic : graphics) {
            main->PaintNow();
            EXPECT_EQ(main->ShownGraphic(), graphic.frame) << main->StatusText();
            if (const char* folder = std::getenv("ORV_SCREENSHOT_DIR")) {
                m_sheet->grab().toImage().save(QStringLiteral("%1/layout-%2x%3-%4.png")
                                                   .arg(QString::fromUtf8(folder))
                                                   .arg(size.width)
                                                   .arg(size.height)
                                                   .arg(QString::fromUtf8(graphic.name)));
            }
            if (graphic.frame == 1001) {
                // DOWN: the cursor onto the last complete profile, whose graphics OK shows.
                main->DeliverHandheldKey(40, false);
                main->PaintNow();
            }
            main->DeliverHandheldKey(13, false);  // OK: the next graphic
        }
        m_prompt.answers = {Answer::No};
        m_sheet.reset();
    }
}

}  // namespace
}  // namespace orv
