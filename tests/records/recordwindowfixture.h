#pragma once

#include "description.h"
#include "recordset.h"
#include "recordwindow.h"
#include "scripteddialogs.h"
#include "stockdatawindow.h"
#include "stockholderwindow.h"
#include "tempregister.h"
#include "transferwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace records {
// A window's description by its name, for tests that take every window in turn.
inline const Description& named(const QString& window)
{
    for (const Description* description : {&stockData(), &stockHolder(), &transfers()})
        if (window == QLatin1String(description->name))
            return *description;
    qFatal("no record window named %s", qPrintable(window));
}
} // namespace records

// A record window opened on a register of its own, with its dialogs answered from a script.
struct RecordWindowFixture {
    explicit RecordWindowFixture(const records::Description& description)
        : description(description)
    {}

    bool open()
    {
        window = std::make_unique<RecordWindow>(description, dialogs, reg.directory());
        exits = std::make_unique<QSignalSpy>(window.get(), &RecordWindow::exitRequested);
        if (Status loaded = window->load(); !loaded) {
            qWarning("%s", qPrintable(loaded.message()));
            return false;
        }
        window->show();
        window->activate(); // as its opener does
        return QTest::qWaitForWindowActive(window.get());
    }

    template <typename T = QWidget> T* get(const QString& name) const { return window->findChild<T*>(name); }
    QLineEdit* field(const QString& name) const { return get<QLineEdit>(name); }
    QPushButton* button(const QString& name) const { return get<QPushButton>(name); }
    void click(const QString& name) const { QTest::mouseClick(get<QAbstractButton>(name), Qt::LeftButton); }
    void type(const QString& name, const QString& text) const
    {
        QLineEdit* edit = field(name);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    // Runs a script of clerk actions, separated by "; ": add, modify, delete, exit, first, previous, next, last,
    // yes, no (the answer to the next question), input=TEXT (the next prompt's text, blanks kept), query N,
    // type FIELD=TEXT, key KEYS@CONTROL (KEYS as a menu shows them, pressed with the focus in CONTROL).
    void run(const QString& script)
    {
        static const QHash<QString, QString> buttons{
            {"add", "cmdNew"},      {"modify", "cmdModify"},      {"delete", "cmdDelete"}, {"exit", "cmdExit"},
            {"first", "moveFirst"}, {"previous", "movePrevious"}, {"next", "moveNext"},    {"last", "moveLast"}};
        for (const QString& step : script.split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
            if (buttons.contains(step))
                click(buttons[step]);
            else if (step == QLatin1String("yes") || step == QLatin1String("no"))
                dialogs.answers.enqueue(step == QLatin1String("yes") ? Dialogs::Answer::Yes : Dialogs::Answer::No);
            else if (step.startsWith(QLatin1String("input=")))
                dialogs.inputs.enqueue(step.mid(6));
            else if (step.startsWith(QLatin1String("query ")))
                query(step.mid(6).toInt());
            else if (step.startsWith(QLatin1String("key ")))
                press(step.mid(4).section(QLatin1Char('@'), 0, 0), get(step.section(QLatin1Char('@'), 1)));
            else if (step.startsWith(QLatin1String("type ")))
                type(step.mid(5).section(QLatin1Char('='), 0, 0), step.section(QLatin1Char('='), 1));
            else
                QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
    static void press(const QString& keys, QWidget* control)
    {
        control->setFocus();
        const QKeyCombination key = QKeySequence::fromString(keys)[0];
        QTest::keyClick(control, key.key(), key.keyboardModifiers());
    }
    void query(int index) const
    {
        for (QAction* item : window->findChildren<QAction*>(QStringLiteral("mfind"))) {
            if (item->property("index").toInt() == index)
                item->trigger();
        }
    }
    // Every entry field is enabled, or every one disabled.
    QString mode() const
    {
        if (exits->count() > 0)
            return QStringLiteral("left");
        int enabled = 0;
        for (const records::Field& f : description.fields)
            enabled += field(QString::fromUtf8(f.name))->isEnabled() ? 1 : 0;
        const QString sweep = enabled == 0                                ? QStringLiteral("browse")
                              : enabled == int(description.fields.size()) ? QStringLiteral("edit")
                                                                          : QStringLiteral("mixed");
        return sweep + QLatin1Char(' ') + button(QStringLiteral("cmdModify"))->text();
    }
    QStringList titles() const
    {
        QStringList shown;
        for (const auto& message : dialogs.messages)
            shown.append(message.title);
        return shown;
    }
    QString prompts() const
    {
        QStringList all;
        for (const auto& message : dialogs.messages)
            all.append(message.prompt);
        return all.join(QLatin1Char('\n'));
    }

    const records::Description& description;
    TempRegister reg;
    ScriptedDialogs dialogs;
    std::unique_ptr<RecordWindow> window;
    std::unique_ptr<QSignalSpy> exits;
};
