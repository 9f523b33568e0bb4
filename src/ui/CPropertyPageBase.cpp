#include "ui/CPropertyPageBase.h"

#include "base/MessagePoster.h"
#include "base/Prompt.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QGestureEvent>
#include <QPushButton>
#include <QTapAndHoldGesture>

namespace orv {

CPropertyPageBase::CPropertyPageBase(PageId id, SheetLink& sheet, Configuration& config,
                                     Prompt& prompt, QWidget* parent)
    : QWidget(parent), m_id(id), m_sheet(sheet), m_config(config), m_prompt(prompt)
{
    setObjectName(QStringLiteral("page%1").arg(PageDialogId(id)));
    grabGesture(Qt::TapAndHoldGesture);
}

QString CPropertyPageBase::Title() const
{
    return QString::fromUtf8(ResourceString(PageTitleId(m_id)));
}

void CPropertyPageBase::OnTapAndHold(int, int) {}

void CPropertyPageBase::ReportMeasurementFailure()
{
    m_sheet.SendToSheet(message::kMeasurementFailed, 0, 0);
}

bool CPropertyPageBase::OnSetActive()
{
    if (!m_initialised) {
        m_initialised = true;
        InitPage();
    }
    LoadFromConfiguration();
    FieldsToControls();
    RefreshControls();
    return true;
}

bool CPropertyPageBase::OnKillActive()
{
    if (!ControlsToFields()) {
        return false;
    }
    StoreToConfiguration();
    return true;
}

void CPropertyPageBase::OnOK()
{
    if (!ControlsToFields()) {
        return;
    }
    StoreToConfiguration();
    m_sheet.SendCommandToSheet(command_id::kClose);
}

QPushButton* CPropertyPageBase::AddNextButton(QBoxLayout* layout)
{
    auto* row = new QHBoxLayout();
    auto* next = new QPushButton(QString::fromUtf8(ResourceString(string_id::kNextButton)), this);
    next->setObjectName(QStringLiteral("control%1").arg(control_id::kNext));
    row->addStretch(1);
    row->addWidget(next);
    layout->addLayout(row);
    return next;
}

void CPropertyPageBase::OnNext()
{
    if (!ControlsToFields()) {
        return;
    }
    StoreToConfiguration();
    m_sheet.SendToSheet(message::kBeginSession, 0, 0);
}

void CPropertyPageBase::DeliverHandheldKey(uint32_t code, bool repeat)
{
    OnHandheldKey(code, repeat);
    Q_EMIT KeyReceived(code, repeat);
}

void CPropertyPageBase::OnHandheldKey(uint32_t, bool) {}

void CPropertyPageBase::ShowValidationMessage(const std::string& message)
{
    m_prompt.Tell(message, std::string(ResourceString(string_id::kAppTitle)), Icon::Warning);
}

void CPropertyPageBase::contextMenuEvent(QContextMenuEvent* event)
{
    OnTapAndHold(event->pos().x(), event->pos().y());
    event->accept();
}

bool CPropertyPageBase::event(QEvent* event)
{
    if (event->type() == QEvent::Gesture) {
        return HandleGesture(static_cast<QGestureEvent*>(event));
    }
    return QWidget::event(event);
}

bool CPropertyPageBase::HandleGesture(QGestureEvent* event)
{
    auto* gesture = static_cast<QTapAndHoldGesture*>(event->gesture(Qt::TapAndHoldGesture));
    if (gesture == nullptr) {
        return false;
    }
    if (gesture->state() == Qt::GestureFinished) {
        const QPoint at = mapFromGlobal(gesture->position().toPoint());
        OnTapAndHold(at.x(), at.y());
    }
    event->accept(gesture);
    return true;
}

}  // namespace orv
