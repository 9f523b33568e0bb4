#include "ui/CStatusStrip.h"

#include "session/StatusStrip.h"

#include <QTimerEvent>

namespace orv {

namespace {

QString Html(const std::vector<StripItem>& items)
{
    QString html;
    for (const StripItem& item : items) {
        const QString text = QString::fromStdString(item.text).toHtmlEscaped();
        QString style;
        switch (item.severity) {
            case Severity::Normal:
                break;
            case Severity::Caution:
                style = QStringLiteral("background-color:#ffcc33;color:#000000;");
                break;
            case Severity::Alarm:
                style = QStringLiteral("background-color:#c62828;color:#ffffff;font-weight:bold;");
                break;
        }
        if (!html.isEmpty()) {
            html += QStringLiteral(" &nbsp;| ");
        }
        html += style.isEmpty()
                    ? text
                    : QStringLiteral("<span style=\"%1\">&nbsp;%2&nbsp;</span>").arg(style, text);
    }
    return html;
}

}  // namespace

CStatusStrip::CStatusStrip(std::function<StripInput()> gather, QWidget* parent)
    : QLabel(parent), m_gather(std::move(gather))
{
    setObjectName(QStringLiteral("statusStrip"));
    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setMargin(2);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    m_timer.start(kRefreshMs, this);
}

CStatusStrip::~CStatusStrip() = default;

void CStatusStrip::Refresh()
{
    m_items = ComposeStrip(m_gather());
    const QString html = Html(m_items);
    if (text() != html) {
        setText(html);
    }
    setVisible(!m_items.empty());
}

void CStatusStrip::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer.timerId()) {
        Refresh();
        return;
    }
    QLabel::timerEvent(event);
}

}  // namespace orv
