#pragma once

#include <QString>

// The program's modal questions, its one-line prompt and the beep, behind one seam so that tests can
// answer them without a modal loop.
class Dialogs {
public:
    enum class Buttons { Ok, YesNo };
    enum class Icon { None, Information, Warning };
    enum class Answer { Ok, Yes, No };

    virtual ~Dialogs() = default;

    // A modal message box; with Yes and No, Yes is the default button.
    virtual Answer message(const QString& prompt, const QString& title, Buttons buttons = Buttons::Ok,
                           Icon icon = Icon::None) = 0;
    // A modal one-line prompt with an empty initial text; returns an empty text when cancelled.
    virtual QString input(const QString& prompt, const QString& title) = 0;
    virtual void beep() = 0;

    // Why something the clerk asked for could not be done: a warning with OK, titled with the product's name.
    void showFailure(const QString& why) { message(why, QStringLiteral("Velmora"), Buttons::Ok, Icon::Warning); }
};
