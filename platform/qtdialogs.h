#pragma once

#include "dialogs.h"

// The real dialogs: QMessageBox, QInputDialog and the system beep.
class QtDialogs final : public Dialogs {
public:
    Answer message(const QString& prompt, const QString& title, Buttons buttons, Icon icon) override;
    QString input(const QString& prompt, const QString& title) override;
    void beep() override;
};
