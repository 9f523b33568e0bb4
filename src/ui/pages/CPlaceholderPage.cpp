#include "ui/pages/CPlaceholderPage.h"

#include "base/MessagePoster.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

CPlaceholderPage::CPlaceholderPage(PageId id, SheetLink& sheet, Configuration& config,
                                   Prompt& prompt, bool withNext, QWidget* parent)
    : CPropertyPageBase(id, sheet, config, prompt, parent)
{
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QString::fromStdString(FormatResource(string_id::kPagePlaceholder,
                                                                  {Title().toStdString()})),
                            this);
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    layout->addWidget(note, 1);
    if (withNext) {
        QPushButton* next = AddNextButton(layout);
        connect(next, &QPushButton::clicked, this,
                [this] { Sheet().SendToSheet(message::kNextPage, 0, 0); });
    }
}

}  // namespace orv
