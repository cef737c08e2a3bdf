#include "qtdialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>

#include <memory>

namespace {

// A Yes/No question has no way out but its two buttons: Esc and the close box do nothing, so only a
// deliberate No drops what the question is about.
class Question : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->matches(QKeySequence::Cancel))
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override { event->ignore(); }
};

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
    QWidget* owner = QApplication::activeWindow();
    std::unique_ptr<QMessageBox> box = yesNo ? std::make_unique<Question>(owner) : std::make_unique<QMessageBox>(owner);
    box->setIcon(boxIcon(icon));
    box->setWindowTitle(title);
    box->setText(prompt);
    box->setTextFormat(Qt::PlainText);
    box->setStandardButtons(yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    box->setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    switch (box->exec()) {
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
