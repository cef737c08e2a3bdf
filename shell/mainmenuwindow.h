#pragma once

#include <QMainWindow>

#include <memory>

namespace form {
class Form;
}

// mainfrm: the hub from which the clerk opens a record window or the about window, or ends the program.
class MainMenuWindow : public QMainWindow {
    Q_OBJECT
public:
    MainMenuWindow();
    ~MainMenuWindow() override;

    const form::Form& form() const { return *m_form; }

Q_SIGNALS:
    void stockHolderRequested();
    void stockDataRequested();
    void transfersRequested();
    void aboutRequested();
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void connectCommands();
    void placeAtDesignPosition();

    std::unique_ptr<form::Form> m_form;
};
