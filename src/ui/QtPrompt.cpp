#include "ui/QtPrompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace orv {

namespace {

QMessageBox::Icon BoxIcon(Icon icon)
{
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::Warning:
            return QMessageBox::Warning;
        case Icon::Error:
            return QMessageBox::Critical;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(Buttons buttons)
{
    switch (buttons) {
        case Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case Buttons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

bool OnUserInterfaceThread()
{
    return QCoreApplication::instance() == nullptr ||
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

Answer QtPrompt::Ask(const std::string& text, const std::string& caption, Buttons buttons,
                     Icon icon)
{
    if (!OnUserInterfaceThread()) {
        // Another thread waits for the answer the user-interface thread gets.
        Answer answer = Answer::Cancel;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { answer = Ask(text, caption, buttons, icon); },
            Qt::BlockingQueuedConnection);
        return answer;
    }
    QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    BoxButtons(buttons), QApplication::activeWindow());
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Ok:
            return Answer::Ok;
        default:
            // Escape or the window's close button: a question with a Cancel button is
            // cancelled; a Yes/No question is answered No.
            return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

void QtPrompt::Tell(const std::string& text, const std::string& caption, Icon icon)
{
    if (!OnUserInterfaceThread()) {
        // The reader thread reports and goes on; the box appears on the user-interface thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, text, caption, icon] { Tell(text, caption, icon); }, Qt::QueuedConnection);
        return;
    }
    QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

}  // namespace orv
