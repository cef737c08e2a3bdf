#include "qtdialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Dialogs::Answer QtDialogs::message(const QString& prompt, const QString& title, Buttons buttons, Icon icon)
{
    const bool yesNo = buttons == Buttons::YesNo;
    QMessageBox box(boxIcon(icon), title, prompt, yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return yesNo ? Answer::No : Answer::Ok;
    }
}

QString QtDialogs::input(const QString& prompt, const QString& title)
{
    bool accepted = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), title, prompt, QLineEdit::Normal, QString(), &accepted);
    return accepted ? text : QString();
}

void QtDialogs::beep()
{
    QApplication::beep();
}
