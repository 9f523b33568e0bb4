#include "ui/pages/CPropertyPageW2.h"

#include "base/MessagePoster.h"
#include "config/Configuration.h"
#include "resources/Menus.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "ui/ResourceText.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace orv {

namespace vc = view_control;

namespace {

QString Name(int id) { return QStringLiteral("control%1").arg(id); }

QColor ToQColor(Colour c)
{
    return QColor(static_cast<int>(RedOf(c)), static_cast<int>(GreenOf(c)),
                  static_cast<int>(BlueOf(c)));
}
Colour FromQColor(const QColor& c)
{
    return MakeColour(static_cast<uint32_t>(c.red()), static_cast<uint32_t>(c.green()),
                      static_cast<uint32_t>(c.blue()));
}

// The platform's colour chooser: fully expanded, the initial colour selected, the page's ring
// as its custom colours (and taken back, with the operator's edits).
std::optional<Colour> ChooseWithDialog(QWidget* parent, Colour initial,
                                       std::array<Colour, 16>& custom)
{
    for (int i = 0; i < 16; ++i) {
        QColorDialog::setCustomColor(i, ToQColor(custom[static_cast<size_t>(i)]));
    }
    const QColor chosen = QColorDialog::getColor(ToQColor(initial), parent);
    for (int i = 0; i < 16; ++i) {
        custom[static_cast<size_t>(i)] = FromQColor(QColorDialog::customColor(i));
    }
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return FromQColor(chosen);
}

}  // namespace

CPropertyPageW2::CPropertyPageW2(SheetLink& sheet, Configuration& config, Prompt& prompt,
                                 QWidget* parent)
    : CPropertyPageBase(PageId::ViewSettings, sheet, config, prompt, parent)
{
    m_chooser = [this](Colour initial, std::array<Colour, 16>& custom) {
        return ChooseWithDialog(this, initial, custom);
    };
    m_menuRunner = [this](int x, int y) { return RunColourMenu(x, y); };

    auto* layout = new QVBoxLayout(this);
    const auto edit = [this](int id, int width = 60) {
        auto* e = new QLineEdit(this);
        e->setObjectName(Name(id));
        e->setMaximumWidth(width);
        m_edits[id] = e;
        return e;
    };
    const auto check = [this](int id, int textId) {
        auto* c = new QCheckBox(ResourceText(textId), this);
        c->setObjectName(Name(id));
        m_checks[id] = c;
        connect(c, &QCheckBox::clicked, this, [this, id] { OnCheck(id); });
        return c;
    };
    // An up-down control beside an edit: two arrows, up with step −1, down with step +1, side
    // by side and each big enough for a finger.
    const auto spin = [this](int id) {
        auto* box = new QWidget(this);
        box->setObjectName(Name(id));
        auto* column = new QHBoxLayout(box);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        auto* up = new QToolButton(box);
        up->setObjectName(QStringLiteral("up"));
        up->setArrowType(Qt::UpArrow);
        up->setAutoRepeat(true);
        up->setFixedSize(24, 24);
        auto* down = new QToolButton(box);
        down->setObjectName(QStringLiteral("down"));
        down->setArrowType(Qt::DownArrow);
        down->setAutoRepeat(true);
        down->setFixedSize(24, 24);
        column->addWidget(up);
        column->addWidget(down);
        connect(up, &QToolButton::clicked, this, [this, id] { OnSpin(id, -1); });
        connect(down, &QToolButton::clicked, this, [this, id] { OnSpin(id, +1); });
        return box;
    };
    const auto strip = [this](int id) {
        auto* s = new QWidget(this);
        s->setObjectName(Name(id));
        s->setFixedHeight(14);
        return s;
    };
    const auto row = [](std::initializer_list<QWidget*> widgets) {
        auto* r = new QHBoxLayout();
        for (QWidget* w : widgets) {
            r->addWidget(w);
        }
        r->addStretch(1);
        return r;
    };
    const auto label = [this](int textId) { return new QLabel(ResourceText(textId), this); };

    layout->addLayout(row({label(string_id::kDepthLabel), edit(vc::kDepth),
                           label(string_id::kMetres), label(string_id::kPixelRefinementLabel),
                           edit(vc::kPixelRefinement, 40), spin(vc::kPixelRefinementSpin)}));
    layout->addLayout(
        row({check(vc::kManualProfileRange, string_id::kSectionChartLabel),
             edit(vc::kProfileMinimum), label(string_id::kTo), edit(vc::kProfileMaximum)}));
    m_profileStrip = strip(vc::kProfileStrip);
    layout->addWidget(m_profileStrip);
    layout->addLayout(row({check(vc::kManualAreaRange, string_id::kMapChartLabel),
                           edit(vc::kAreaMinimum), label(string_id::kTo), edit(vc::kAreaMaximum)}));
    m_areaStrip = strip(vc::kAreaStrip);
    layout->addWidget(m_areaStrip);
    layout->addLayout(row({check(vc::kTimer, string_id::kTimerLabel), edit(vc::kTimerCount, 50),
                           label(string_id::kTimesEvery), edit(vc::kTimerDelay),
                           label(string_id::kMilliseconds)}));

    auto* graphics = new QGroupBox(ResourceText(string_id::kShowGraphicsGroup), this);
    auto* g = new QVBoxLayout(graphics);
    g->addLayout(row({check(vc::kSoundingCurve, string_id::kSoundingCurve)}));
    g->addLayout(row({check(vc::kProfileCurve, string_id::kProfileCurveAfter),
                      edit(vc::kProfileCurveStations), spin(vc::kProfileCurveSpin),
                      label(string_id::kStations)}));
    g->addLayout(row({check(vc::kFilterProfileCurve, string_id::kFilterProfileCurve),
                      label(string_id::kShowPoints), edit(vc::kPointsToShow),
                      spin(vc::kPointsToShowSpin), label(string_id::kPoints)}));
    g->addLayout(row({check(vc::kSection, string_id::kSectionAfter), edit(vc::kSectionStations),
                      spin(vc::kSectionSpin), label(string_id::kStations)}));
    g->addLayout(row({check(vc::kMap, string_id::kMapAfter), edit(vc::kMapProfiles),
                      spin(vc::kMapSpin), label(string_id::kSections)}));
    layout->addWidget(graphics);
    layout->addStretch(1);

    QPushButton* next = AddNextButton(layout);
    connect(next, &QPushButton::clicked, this,
            [this] { Sheet().SendToSheet(message::kNextPage, 0, 0); });
}

void CPropertyPageW2::LoadFromConfiguration() { m_logic.LoadFromConfiguration(Config()); }

void CPropertyPageW2::StoreToConfiguration() { m_logic.StoreToConfiguration(Config()); }

void CPropertyPageW2::FieldsToControls()
{
    const ViewSettingsLogic::Texts t = m_logic.FieldTexts();
    const auto set = [this](int id, const std::string& text) {
        Edit(id)->setText(QString::fromStdString(text));
    };
    set(vc::kDepth, t.depth);
    set(vc::kPixelRefinement, t.pixelRefinement);
    set(vc::kProfileMinimum, t.profileMinimum);
    set(vc::kProfileMaximum, t.profileMaximum);
    set(vc::kAreaMinimum, t.areaMinimum);
    set(vc::kAreaMaximum, t.areaMaximum);
    set(vc::kTimerCount, t.timerCount);
    set(vc::kTimerDelay, t.timerDelay);
    set(vc::kProfileCurveStations, t.profileCurveStations);
    set(vc::kPointsToShow, t.pointsToShow);
    set(vc::kSectionStations, t.sectionStations);
    set(vc::kMapProfiles, t.mapProfiles);
    ShowCheckFlags(kViewCheckFlags, m_logic, [this](int id, bool checked) {
        const QSignalBlocker block(m_checks[id]);
        m_checks[id]->setChecked(checked);
    });
}

bool CPropertyPageW2::ControlsToFields()
{
    const auto text = [this](int id) { return Edit(id)->text().toStdString(); };
    ViewSettingsLogic::Texts t;
    t.depth = text(vc::kDepth);
    t.pixelRefinement = text(vc::kPixelRefinement);
    t.profileMinimum = text(vc::kProfileMinimum);
    t.profileMaximum = text(vc::kProfileMaximum);
    t.areaMinimum = text(vc::kAreaMinimum);
    t.areaMaximum = text(vc::kAreaMaximum);
    t.timerCount = text(vc::kTimerCount);
    t.timerDelay = text(vc::kTimerDelay);
    t.profileCurveStations = text(vc::kProfileCurveStations);
    t.pointsToShow = text(vc::kPointsToShow);
    t.sectionStations = text(vc::kSectionStations);
    t.mapProfiles = text(vc::kMapProfiles);
    ReadCheckFlags(kViewCheckFlags, m_logic, [this](int id) { return m_checks[id]->isChecked(); });
    const auto failure = m_logic.ReadControls(t);
    if (!failure) {
        return true;
    }
    ShowValidationMessage(failure->message);
    QLineEdit* e = Edit(failure->controlId);
    e->setEnabled(true);
    e->setFocus();
    e->selectAll();
    return false;
}

void CPropertyPageW2::RefreshControls()
{
    for (const int id : {vc::kProfileMinimum, vc::kProfileMaximum, vc::kAreaMinimum,
                         vc::kAreaMaximum, vc::kTimerCount, vc::kTimerDelay}) {
        Edit(id)->setEnabled(m_logic.Enabled(id));
    }
    m_checks[vc::kFilterProfileCurve]->setEnabled(m_logic.Enabled(vc::kFilterProfileCurve));
}

void CPropertyPageW2::OnCheck(int id)
{
    const int value = m_checks[id]->isChecked() ? 1 : 0;
    switch (id) {
        case vc::kManualProfileRange:
            m_logic.ManualProfileRange = value;
            break;
        case vc::kManualAreaRange:
            m_logic.ManualAreaRange = value;
            break;
        case vc::kProfileCurve:
            m_logic.ShowProfileCurves = value;
            break;
        case vc::kTimer:
            m_logic.TimerMode = value;
            // The Main pages read it for the Start button's text.
            Config().TimerMode = value;
            break;
        default:
            return;
    }
    RefreshControls();
}

void CPropertyPageW2::OnSpin(int spin, int step)
{
    // The typed text first; a text that does not read keeps the field as it was.
    const auto take = [this](int editId, int& field) {
        unsigned v = 0;
        std::string message;
        if (ReadUnsignedText(Edit(editId)->text().toStdString(), 0, 2147483647u, v, message)) {
            field = static_cast<int>(v);
        }
    };
    switch (spin) {
        case vc::kPixelRefinementSpin:
            take(vc::kPixelRefinement, m_logic.PixelRefinement);
            m_logic.SpinPixelRefinement(step);
            break;
        case vc::kProfileCurveSpin:
            take(vc::kProfileCurveStations, m_logic.MinStationsForProfileCurve);
            m_logic.SpinProfileCurve(step);
            break;
        case vc::kSectionSpin:
            take(vc::kSectionStations, m_logic.MinStationsForProfile);
            m_logic.SpinSection(step);
            break;
        case vc::kMapSpin:
            take(vc::kMapProfiles, m_logic.MinProfilesForArea);
            m_logic.SpinMap(step);
            break;
        case vc::kPointsToShowSpin:
            take(vc::kPointsToShow, m_logic.MeasurementsToShow);
            m_logic.SpinPointsToShow(step);
            break;
        default:
            return;
    }
    const ViewSettingsLogic::Texts t = m_logic.FieldTexts();
    Edit(vc::kPixelRefinement)->setText(QString::fromStdString(t.pixelRefinement));
    Edit(vc::kProfileCurveStations)->setText(QString::fromStdString(t.profileCurveStations));
    Edit(vc::kSectionStations)->setText(QString::fromStdString(t.sectionStations));
    Edit(vc::kMapProfiles)->setText(QString::fromStdString(t.mapProfiles));
    Edit(vc::kPointsToShow)->setText(QString::fromStdString(t.pointsToShow));
}

StripRect CPropertyPageW2::StripRectOf(int strip) const
{
    const QWidget* w = strip == vc::kProfileStrip ? m_profileStrip : m_areaStrip;
    const QRect r = w->geometry();
    return StripRect{r.left(), r.top(), r.width(), r.height()};
}

ColourChart& CPropertyPageW2::ChartOf(int strip)
{
    Configuration& c = Config();
    return strip == vc::kProfileStrip ? c.ProfileChart : c.AreaChart;
}

void CPropertyPageW2::paintEvent(QPaintEvent* event)
{
    CPropertyPageBase::paintEvent(event);
    QPainter painter(this);
    for (const int strip : {vc::kProfileStrip, vc::kAreaStrip}) {
        const ColourChart& chart = ChartOf(strip);
        const StripRect r = StripRectOf(strip);
        const int w = StripCellWidth(r, chart.Count());
        for (int k = 0; k < chart.Count(); ++k) {
            painter.fillRect(r.left + k * w, r.top, w, r.height,
                             ToQColor(chart.Colours()[static_cast<size_t>(k)]));
        }
    }
}

void CPropertyPageW2::OnTapAndHold(int x, int y)
{
    int strip = 0;
    if (StripRectOf(vc::kProfileStrip).Contains(x, y)) {
        strip = vc::kProfileStrip;
    } else if (StripRectOf(vc::kAreaStrip).Contains(x, y)) {
        strip = vc::kAreaStrip;
    } else {
        return;
    }
    m_colourMenu.Tap(strip, x);
    const int command = m_menuRunner ? m_menuRunner(x, y) : 0;
    if (command != 0) {
        OnColourCommand(command);
    }
}

void CPropertyPageW2::OnColourCommand(int command)
{
    const int strip = m_colourMenu.TappedStrip();
    if (strip == 0) {
        return;
    }
    if (m_colourMenu.Command(command, ChartOf(strip), StripRectOf(strip), m_chooser)) {
        const StripRect r = StripRectOf(strip);
        update(QRect(r.left, r.top, width() - r.left, r.height));
    }
}

int CPropertyPageW2::RunColourMenu(int x, int y)
{
    const MenuResource& resource = ColourMenu();
    QMenu menu(ResourceText(resource.titleId), this);
    for (const MenuItem& item : resource.items) {
        if (item.command == 0) {
            menu.addSeparator();
        } else {
            menu.addAction(ResourceText(item.textId))->setData(item.command);
        }
    }
    const QAction* chosen = menu.exec(mapToGlobal(QPoint(x, y)));
    return chosen ? chosen->data().toInt() : 0;
}

}  // namespace orv
