#include "ui/pages/CPropertyPageS2.h"

#include "config/Configuration.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "ui/ResourceText.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace orv {

namespace {

QLineEdit* PortEdit(QWidget* parent, int id)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("control%1").arg(id));
    // Digits only, as on the handheld.
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), edit));
    return edit;
}

}  // namespace

CPropertyPageS2::CPropertyPageS2(SheetLink& sheet, Configuration& config, Prompt& prompt,
                                 std::function<void()> closeLink, QWidget* parent)
    : CPropertyPageBase(PageId::OtherSettings, sheet, config, prompt, parent),
      m_closeLink(std::move(closeLink))
{
    auto* layout = new QVBoxLayout(this);

    auto* device = new QGroupBox(ResourceText(string_id::kDeviceGroup), this);
    auto* deviceForm = new QFormLayout(device);
    m_instrumentPort = PortEdit(device, control_id::kInstrumentPort);
    deviceForm->addRow(ResourceText(string_id::kBluetoothPortLabel), m_instrumentPort);
    layout->addWidget(device);

    auto* gps = new QGroupBox(ResourceText(string_id::kGpsReceiverGroup), this);
    auto* gpsForm = new QFormLayout(gps);
    m_gpsPort = PortEdit(gps, control_id::kGpsPort);
    m_baud = new QComboBox(gps);
    m_baud->setObjectName(QStringLiteral("control%1").arg(control_id::kBaudRate));
    gpsForm->addRow(ResourceText(string_id::kBluetoothPortLabel), m_gpsPort);
    gpsForm->addRow(ResourceText(string_id::kBaudRateLabel), m_baud);
    layout->addWidget(gps);

    layout->addStretch(1);
    m_next = AddNextButton(layout);
    m_next->setDefault(true);

    connect(m_baud, &QComboBox::activated, this, &CPropertyPageS2::OnBaudChanged);
    connect(m_next, &QPushButton::clicked, this, [this] { OnNext(); });
}

void CPropertyPageS2::InitPage()
{
    m_logic.FillBaudList();
    SyncList();
}

void CPropertyPageS2::LoadFromConfiguration() { m_logic.LoadFromConfiguration(Config()); }

void CPropertyPageS2::StoreToConfiguration() { m_logic.StoreToConfiguration(Config()); }

void CPropertyPageS2::FieldsToControls()
{
    m_instrumentPort->setText(QString::fromStdString(UnsignedText(m_logic.instrumentPortNumber)));
    m_gpsPort->setText(QString::fromStdString(UnsignedText(m_logic.gpsPortNumber)));
    SyncList();
}

bool CPropertyPageS2::ControlsToFields()
{
    const auto failure = m_logic.ReadControls(m_instrumentPort->text().toStdString(),
                                              m_gpsPort->text().toStdString());
    if (!failure) {
        return true;
    }
    ShowValidationMessage(failure->message);
    QLineEdit* edit = failure->controlId == control_id::kGpsPort ? m_gpsPort : m_instrumentPort;
    edit->setFocus();
    edit->selectAll();
    return false;
}

void CPropertyPageS2::SyncList()
{
    const QSignalBlocker block(m_baud);
    if (m_baud->count() != static_cast<int>(m_logic.baudItems.size())) {
        m_baud->clear();
        for (const int id : m_logic.baudItems) {
            m_baud->addItem(ResourceText(id), id);
        }
    }
    m_baud->setCurrentIndex(m_logic.baudIndex);
}

void CPropertyPageS2::OnBaudChanged(int index)
{
    m_logic.baudIndex = index;
    if (m_closeLink) {
        m_closeLink();
    }
    ControlsToFields();
}

}  // namespace orv
