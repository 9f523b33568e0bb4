#include "ui/pages/CPropertyPageS1.h"

#include "base/Prompt.h"
#include "config/Configuration.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "session/FileChooser.h"
#include "session/StatusStrip.h"
#include "ui/ResourceText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace orv {

namespace {

QString ControlName(int id) { return QStringLiteral("control%1").arg(id); }

template <typename W>
W* Named(W* widget, int id)
{
    widget->setObjectName(ControlName(id));
    return widget;
}

}  // namespace

CPropertyPageS1::CPropertyPageS1(SheetLink& sheet, Configuration& config, Prompt& prompt,
                                 FileChooser& files, QWidget* parent)
    : CPropertyPageBase(PageId::StaticSettings, sheet, config, prompt, parent), m_files(files)
{
    BuildControls();
}

void CPropertyPageS1::BuildControls()
{
    auto* layout = new QVBoxLayout(this);

    auto* grid = new QGridLayout();
    m_mode = Named(new QComboBox(this), control_id::kMode);
    auto* modeLabel = new QLabel(ResourceText(string_id::kModeLabel), this);
    modeLabel->setBuddy(m_mode);
    grid->addWidget(modeLabel, 0, 0);
    grid->addWidget(m_mode, 0, 1, 1, 3);

    const auto makeEdit = [this](int id) {
        auto* edit = Named(new QLineEdit(this), id);
        edit->setMaxLength(16);
        return edit;
    };
    m_xSize = makeEdit(control_id::kXSize);
    m_xStep = makeEdit(control_id::kXStep);
    m_ySize = makeEdit(control_id::kYSize);
    m_yStep = makeEdit(control_id::kYStep);
    m_xSizeLabel =
        Named(new QLabel(ResourceText(string_id::kXSizeLabel), this), control_id::kXSizeLabel);
    m_xStepLabel =
        Named(new QLabel(ResourceText(string_id::kXStepLabel), this), control_id::kXStepLabel);
    m_ySizeLabel =
        Named(new QLabel(ResourceText(string_id::kYSizeLabel), this), control_id::kYSizeLabel);
    m_yStepLabel =
        Named(new QLabel(ResourceText(string_id::kYStepLabel), this), control_id::kYStepLabel);
    m_xSizeLabel->setBuddy(m_xSize);
    m_xStepLabel->setBuddy(m_xStep);
    m_ySizeLabel->setBuddy(m_ySize);
    m_yStepLabel->setBuddy(m_yStep);
    grid->addWidget(m_xSizeLabel, 1, 0);
    grid->addWidget(m_xSize, 1, 1);
    grid->addWidget(m_xStepLabel, 1, 2);
    grid->addWidget(m_xStep, 1, 3);
    grid->addWidget(m_ySizeLabel, 2, 0);
    grid->addWidget(m_ySize, 2, 1);
    grid->addWidget(m_yStepLabel, 2, 2);
    grid->addWidget(m_yStep, 2, 3);
    layout->addLayout(grid);

    auto* group = new QGroupBox(ResourceText(string_id::kActiveFrequencies), this);
    auto* boxes = new QGridLayout(group);
    for (int n = 1; n <= kFrequencyCount; ++n) {
        auto* box =
            Named(new QCheckBox(QString::number(n), group), control_id::kFrequency1 + n - 1);
        m_frequencies[static_cast<size_t>(n - 1)] = box;
        boxes->addWidget(box, (n - 1) / 7, (n - 1) % 7);
        connect(box, &QCheckBox::clicked, this,
                [this, n](bool checked) { OnFrequencyClicked(n, checked); });
    }
    m_all = Named(new QCheckBox(ResourceText(string_id::kAll), group), control_id::kAllFrequencies);
    boxes->addWidget(m_all, 2, 0, 1, 2);
    // The tracer switch is created hidden; only its enabled state follows the frequencies.
    m_trasser =
        Named(new QCheckBox(ResourceText(string_id::kTrasser), group), control_id::kTrasser);
    m_trasser->setVisible(false);
    boxes->addWidget(m_trasser, 2, 2, 1, 3);
    layout->addWidget(group);

    auto* deviceRow = new QHBoxLayout();
    m_device = Named(new QComboBox(this), control_id::kDevice);
    m_device->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* deviceLabel = new QLabel(ResourceText(string_id::kDeviceLabel), this);
    deviceLabel->setBuddy(m_device);
    m_add = Named(new QPushButton(ResourceText(string_id::kAdd), this), control_id::kAdd);
    m_delete = Named(new QPushButton(ResourceText(string_id::kDelete), this), control_id::kDelete);
    deviceRow->addWidget(deviceLabel);
    deviceRow->addWidget(m_device, 1);
    deviceRow->addWidget(m_add);
    deviceRow->addWidget(m_delete);
    layout->addLayout(deviceRow);
    // An instrument without a calibration of its own is measured with another's: said here and
    // on the status strip.
    m_standIn = new QLabel(this);
    m_standIn->setObjectName(QStringLiteral("calibrationStandIn"));
    m_standIn->setWordWrap(true);
    m_standIn->setStyleSheet(QStringLiteral("QLabel { background: #ffcc33; color: black; }"));
    m_standIn->hide();
    layout->addWidget(m_standIn);

    layout->addStretch(1);
    m_next = AddNextButton(layout);
    m_next->setDefault(true);

    connect(m_mode, &QComboBox::activated, this, &CPropertyPageS1::OnModeChanged);
    connect(m_all, &QCheckBox::clicked, this, &CPropertyPageS1::OnAllClicked);
    connect(m_device, &QComboBox::activated, this, &CPropertyPageS1::OnDeviceChanged);
    connect(m_add, &QPushButton::clicked, this, &CPropertyPageS1::OnAdd);
    connect(m_delete, &QPushButton::clicked, this, &CPropertyPageS1::OnDelete);
    connect(m_next, &QPushButton::clicked, this, [this] { OnNext(); });
}

void CPropertyPageS1::InitPage()
{
    if (m_mode->count() != static_cast<int>(ModeEntries().size())) {
        m_mode->clear();
        for (const ModeEntry& entry : ModeEntries()) {
            m_mode->addItem(ResourceText(entry.textId), entry.workType);
        }
    }
    m_logic.modeIndex = 0;
    m_logic.FillDeviceList(Config());
    SyncControls();
}

void CPropertyPageS1::LoadFromConfiguration() { m_logic.LoadFromConfiguration(Config()); }

void CPropertyPageS1::StoreToConfiguration() { m_logic.StoreToConfiguration(Config()); }

void CPropertyPageS1::RefreshControls()
{
    m_logic.RefreshControls();
    SyncControls();
    ShowStandIn();
}

void CPropertyPageS1::ShowStandIn()
{
    const std::optional<CalibrationId> standIn = Config().CalibrationStandIn();
    m_standIn->setVisible(standIn.has_value());
    if (standIn) {
        m_standIn->setText(
            QString::fromStdString(CalibrationStandInText(Config().ConnectedSerial, *standIn)));
    }
}

void CPropertyPageS1::FieldsToControls()
{
    const StaticSettingsEdits edits = m_logic.EditTexts();
    m_xSize->setText(QString::fromStdString(edits.xSize));
    m_xStep->setText(QString::fromStdString(edits.xStep));
    m_ySize->setText(QString::fromStdString(edits.ySize));
    m_yStep->setText(QString::fromStdString(edits.yStep));
    SyncControls();
}

bool CPropertyPageS1::ControlsToFields() { return ReadControls(true); }

bool CPropertyPageS1::ReadControls(bool requireFrequency)
{
    StaticSettingsEdits edits{m_xSize->text().toStdString(), m_xStep->text().toStdString(),
                              m_ySize->text().toStdString(), m_yStep->text().toStdString()};
    StaticSettingsChecks checks;
    for (size_t i = 0; i < m_frequencies.size(); ++i) {
        checks.frequencies[i] = m_frequencies[i]->isChecked();
    }
    checks.trasser = m_trasser->isChecked();
    const auto failure = m_logic.ReadControls(edits, checks, requireFrequency);
    if (!failure) {
        return true;
    }
    ShowValidationMessage(failure->message);
    if (QWidget* control = Control(failure->controlId)) {
        control->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            edit->selectAll();
        }
    }
    return false;
}

void CPropertyPageS1::SyncControls()
{
    const QSignalBlocker blockMode(m_mode);
    const QSignalBlocker blockDevice(m_device);
    m_mode->setCurrentIndex(m_logic.modeIndex);

    QStringList entries;
    for (const std::string& e : m_logic.deviceEntries) {
        entries << QString::fromStdString(e);
    }
    QStringList shown;
    for (int i = 0; i < m_device->count(); ++i) {
        shown << m_device->itemText(i);
    }
    if (shown != entries) {
        m_device->clear();
        m_device->addItems(entries);
    }
    m_device->setCurrentIndex(m_logic.deviceIndex);
    m_delete->setEnabled(m_logic.deleteEnabled);

    const GridVisibility& v = m_logic.visibility;
    m_xSize->setVisible(v.xSize);
    m_xSizeLabel->setVisible(v.xSize);
    m_xStep->setVisible(v.xStep);
    m_xStepLabel->setVisible(v.xStep);
    m_ySize->setVisible(v.ySize);
    m_ySizeLabel->setVisible(v.ySize);
    m_yStep->setVisible(v.yStep);
    m_yStepLabel->setVisible(v.yStep);

    const StaticSettingsChecks checks = m_logic.Checks();
    for (size_t i = 0; i < m_frequencies.size(); ++i) {
        m_frequencies[i]->setChecked(checks.frequencies[i]);
    }
    m_all->setChecked(m_logic.allChecked);
    m_trasser->setChecked(checks.trasser);
    m_trasser->setEnabled(m_logic.trasserEnabled);
}

void CPropertyPageS1::OnModeChanged(int index)
{
    m_logic.modeIndex = index;
    ControlsToFields();
    RefreshControls();
}

void CPropertyPageS1::OnFrequencyClicked(int n, bool checked)
{
    m_logic.FrequencyClicked(n, checked);
    SyncControls();
}

void CPropertyPageS1::OnAllClicked(bool checked)
{
    if (!ReadControls(false)) {
        SyncControls();
        return;
    }
    m_logic.AllClicked(checked);
    FieldsToControls();
}

void CPropertyPageS1::OnDeviceChanged(int index)
{
    m_logic.deviceIndex = index;
    // The handheld moved the focus to the sheet here, closing the list and its input panel.
    m_next->setFocus();
}

void CPropertyPageS1::OnAdd()
{
    FileDialogOptions options;
    options.caption = ResourceString(string_id::kAddCalibrationCaption);
    options.defaultExtension = ResourceString(string_id::kIniExtension);
    options.initialName = ResourceString(string_id::kIniInitialName);
    options.filter = ResourceString(string_id::kIniFilter);
    options.mustExist = true;
    const auto path = m_files.ChooseOpen(options);
    if (!path) {
        return;
    }
    Configuration& config = Config();
    std::string error;
    const std::string title(ResourceString(string_id::kAppTitle));
    if (!config.Calibrations().Import(*path, error)) {
        PagePrompt().Tell(FormatResource(string_id::kCalibrationImportFailed, {error}), title,
                          Icon::Error);
    } else if (const auto& skipped = config.Calibrations().Warnings(); !skipped.empty()) {
        std::string lines;
        for (const std::string& w : skipped) {
            lines += (lines.empty() ? "" : "\n") + w;
        }
        PagePrompt().Tell(FormatResource(string_id::kCalibrationImportWarnings, {lines}), title,
                          Icon::Warning);
    }
    m_logic.FillDeviceList(config);
    SyncControls();
}

void CPropertyPageS1::OnDelete()
{
    const auto id = m_logic.SelectedDevice();
    if (!id) {
        return;
    }
    const Answer answer =
        PagePrompt().Ask(StaticSettingsLogic::DeleteQuestion(*id),
                         StaticSettingsLogic::DeleteCaption(*id), Buttons::YesNo, Icon::Question);
    if (answer != Answer::Yes) {
        return;
    }
    Configuration& config = Config();
    config.Calibrations().Remove(*id);
    if (config.Calibrations().Modified()) {
        m_logic.FillDeviceList(config);
        SyncControls();
    }
}

QWidget* CPropertyPageS1::Control(int id) const { return findChild<QWidget*>(ControlName(id)); }

}  // namespace orv
