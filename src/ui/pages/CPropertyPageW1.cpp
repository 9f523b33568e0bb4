#include "ui/pages/CPropertyPageW1.h"

#include "base/MessagePoster.h"
#include "config/Configuration.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "ui/ResourceText.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace orv {

namespace sc = signal_control;

namespace {

QString Name(int id) { return QStringLiteral("control%1").arg(id); }

QLineEdit* PowerEdit(QWidget* parent, int id)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(Name(id));
    edit->setMaximumWidth(70);
    return edit;
}

}  // namespace

CPropertyPageW1::CPropertyPageW1(SheetLink& sheet, Configuration& config, Prompt& prompt,
                                 QWidget* parent)
    : CPropertyPageBase(PageId::Settings, sheet, config, prompt, parent)
{
    auto* layout = new QVBoxLayout(this);

    const auto radio = [this](QWidget* owner, int id, int textId) {
        auto* b = new QRadioButton(ResourceText(textId), owner);
        b->setObjectName(Name(id));
        // The groups are shown from the fields, not by the buttons' own exclusivity.
        b->setAutoExclusive(false);
        m_buttons[id] = b;
        connect(b, &QRadioButton::clicked, this, [this, id] { OnCommand(id); });
        return b;
    };
    const auto check = [this](QWidget* owner, int id, int textId) {
        auto* b = new QCheckBox(ResourceText(textId), owner);
        b->setObjectName(Name(id));
        m_buttons[id] = b;
        connect(b, &QCheckBox::clicked, this, [this, id] { OnCommand(id); });
        return b;
    };

    auto* units = new QGroupBox(ResourceText(string_id::kMeasureUnitsGroup), this);
    auto* unitsLayout = new QVBoxLayout(units);
    auto* unitRow = new QHBoxLayout();
    unitRow->addWidget(radio(units, sc::kAdcQuantums, string_id::kAdcQuantums));
    unitRow->addWidget(radio(units, sc::kApparentValues, string_id::kApparentValues));
    unitsLayout->addLayout(unitRow);
    unitsLayout->addWidget(radio(units, sc::kResistivity, string_id::kResistivity));
    unitsLayout->addWidget(radio(units, sc::kConductivity, string_id::kConductivity));
    unitsLayout->addWidget(
        check(units, sc::kSubtractUndercompensation, string_id::kSubtractUndercompensation));
    unitsLayout->addWidget(check(units, sc::kPhaseEqualization, string_id::kPhaseEqualization));
    unitsLayout->addWidget(check(units, sc::kNormalizedToCurrent, string_id::kNormalizedToCurrent));
    unitsLayout->addWidget(
        check(units, sc::kNormalizedToFrequency, string_id::kNormalizedToFrequency));
    unitsLayout->addWidget(check(units, sc::kFilter, string_id::kSignalFilter));
    layout->addWidget(units);

    auto* signal = new QGroupBox(ResourceText(string_id::kSignalGroup), this);
    auto* signalLayout = new QGridLayout(signal);
    m_powerModule = PowerEdit(signal, sc::kPowerModule);
    m_powerQuadrature = PowerEdit(signal, sc::kPowerQuadrature);
    m_powerInphase = PowerEdit(signal, sc::kPowerInphase);
    signalLayout->addWidget(radio(signal, sc::kModule, string_id::kModule), 0, 0);
    signalLayout->addWidget(m_powerModule, 0, 1);
    signalLayout->addWidget(radio(signal, sc::kQuadrature, string_id::kQuadrature), 1, 0);
    signalLayout->addWidget(m_powerQuadrature, 1, 1);
    signalLayout->addWidget(radio(signal, sc::kInphase, string_id::kInphase), 2, 0);
    signalLayout->addWidget(m_powerInphase, 2, 1);
    layout->addWidget(signal);

    layout->addWidget(check(this, sc::kCurrentChannel, string_id::kCurrentChannel));
    layout->addStretch(1);

    QPushButton* next = AddNextButton(layout);
    connect(next, &QPushButton::clicked, this,
            [this] { Sheet().SendToSheet(message::kNextPage, 0, 0); });

    // Created hidden, as on the handheld; RefreshControls shows what the units call for.
    m_buttons[sc::kResistivity]->setVisible(false);
    m_buttons[sc::kConductivity]->setVisible(false);
    m_buttons[sc::kFilter]->setVisible(false);
}

void CPropertyPageW1::LoadFromConfiguration() { m_logic.LoadFromConfiguration(Config()); }

void CPropertyPageW1::StoreToConfiguration() { m_logic.StoreToConfiguration(Config()); }

void CPropertyPageW1::FieldsToControls()
{
    ShowChecks();
    m_powerModule->setText(QString::fromStdString(FloatText(m_logic.PowerModule)));
    m_powerQuadrature->setText(QString::fromStdString(FloatText(m_logic.PowerQuadrature)));
    m_powerInphase->setText(QString::fromStdString(FloatText(m_logic.PowerInphase)));
}

bool CPropertyPageW1::ControlsToFields()
{
    ReadChecks();
    const auto failure = m_logic.ReadPowers(m_powerModule->text().toStdString(),
                                            m_powerQuadrature->text().toStdString(),
                                            m_powerInphase->text().toStdString());
    if (!failure) {
        return true;
    }
    ShowValidationMessage(failure->message);
    QLineEdit* edit = failure->controlId == sc::kPowerModule       ? m_powerModule
                      : failure->controlId == sc::kPowerQuadrature ? m_powerQuadrature
                                                                   : m_powerInphase;
    edit->setFocus();
    edit->selectAll();
    return false;
}

void CPropertyPageW1::RefreshControls()
{
    m_logic.Refresh();
    for (const int id : {sc::kAdcQuantums, sc::kApparentValues, sc::kResistivity, sc::kConductivity,
                         sc::kModule, sc::kQuadrature, sc::kInphase}) {
        const QSignalBlocker block(m_buttons[id]);
        m_buttons[id]->setChecked(m_logic.RadioChecked(id));
    }
    const auto& state = m_logic.controls;
    if (m_logic.UnitMeasure == 0 || m_logic.UnitMeasure == 1) {
        for (const int id : {sc::kPhaseEqualization, sc::kNormalizedToCurrent,
                             sc::kNormalizedToFrequency, sc::kSubtractUndercompensation}) {
            m_buttons[id]->setVisible(state.correctionsVisible);
        }
        m_powerModule->setVisible(state.correctionsVisible);
        m_powerQuadrature->setVisible(state.correctionsVisible);
        m_powerInphase->setVisible(state.correctionsVisible);
        m_buttons[sc::kResistivity]->setVisible(state.apparentVisible);
        m_buttons[sc::kConductivity]->setVisible(state.apparentVisible);
        m_buttons[sc::kFilter]->setVisible(state.apparentVisible);
    }
    m_buttons[sc::kPhaseEqualization]->setEnabled(state.phaseEqualizationEnabled);
    m_buttons[sc::kNormalizedToCurrent]->setEnabled(state.currentAndUndercompensationEnabled);
    m_buttons[sc::kSubtractUndercompensation]->setEnabled(state.currentAndUndercompensationEnabled);
    m_powerModule->setEnabled(state.powersEnabled);
    m_powerQuadrature->setEnabled(state.powersEnabled);
    m_powerInphase->setEnabled(state.powersEnabled);
    ShowChecks();
}

void CPropertyPageW1::OnCommand(int id)
{
    ReadChecks();
    switch (id) {
        case sc::kPhaseEqualization:
        case sc::kNormalizedToFrequency:
        case sc::kFilter:
        case sc::kSubtractUndercompensation:
        case sc::kNormalizedToCurrent:
        case sc::kCurrentChannel:
            // The box has already toggled itself; ReadChecks took its state.
            break;
        default:
            m_logic.OnCommand(id);
            break;
    }
    RefreshControls();
}

void CPropertyPageW1::ShowChecks()
{
    ShowCheckFlags(kSignalCheckFlags, m_logic, [this](int id, bool checked) {
        const QSignalBlocker block(m_buttons[id]);
        m_buttons[id]->setChecked(checked);
    });
}

void CPropertyPageW1::ReadChecks()
{
    ReadCheckFlags(kSignalCheckFlags, m_logic,
                   [this](int id) { return m_buttons[id]->isChecked(); });
}

}  // namespace orv
