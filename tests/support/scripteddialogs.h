#pragma once

#include "dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

// Answers the program's dialogs from a script and records every one that was shown.
class ScriptedDialogs final : public Dialogs {
public:
    struct Shown {
        QString prompt;
        QString title;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
    };

    QQueue<Answer> answers; // for questions with Yes and No; a message with OK only takes none
    QQueue<QString> inputs; // for the one-line prompt; an empty text is a cancel
    QList<Shown> messages;
    QList<Shown> prompts;
    int beeps = 0;
    QStringList unexpected; // dialogs that came with no answer scripted

    Answer message(const QString& prompt, const QString& title, Buttons buttons, Icon icon) override
    {
        messages.append({prompt, title, buttons, icon});
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        if (answers.isEmpty()) {
            unexpected.append(title + QStringLiteral(": ") + prompt);
            return Answer::No;
        }
        return answers.dequeue();
    }

    QString input(const QString& prompt, const QString& title) override
    {
        prompts.append({prompt, title, Buttons::Ok, Icon::None});
        if (inputs.isEmpty()) {
            unexpected.append(title + QStringLiteral(": ") + prompt);
            return {};
        }
        return inputs.dequeue();
    }

    void beep() override { ++beeps; }
};
