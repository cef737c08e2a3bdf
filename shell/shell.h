#pragma once

#include <QObject>

#include <memory>

class AboutWindow;
class QWidget;

// The program's lifetime: exactly one of the splash, the main menu or a record window is up at a time,
// plus a modal about window over it. Windows are deleted when left and made afresh when shown.
class Shell : public QObject {
    Q_OBJECT
public:
    explicit Shell(QObject* parent = nullptr);
    ~Shell() override;

    void start();

    // The one window up now: the splash, the main menu or a record window.
    QWidget* window() const { return m_window.get(); }
    AboutWindow* about() const { return m_about.get(); }

Q_SIGNALS:
    // The clerk chose to end the program.
    void finished();

private:
    void showSplash();
    void showMainMenu();
    void showAbout();
    void closeAbout();
    void replaceWindow(std::unique_ptr<QWidget> next);

    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<AboutWindow> m_about;
};
