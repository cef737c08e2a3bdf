#pragma once

#include <QObject>
#include <QString>

#include <memory>

class AboutWindow;
class Dialogs;
class QWidget;

namespace records {
struct Description;
}

// The program's lifetime: exactly one of the splash, the main menu or a record window is up at a time,
// plus a modal about window over it. Windows are deleted when left and made afresh when shown.
class Shell : public QObject {
    Q_OBJECT
public:
    // Record windows open the register in that directory and report through those dialogs.
    Shell(Dialogs& dialogs, const QString& registerDirectory, QObject* parent = nullptr);
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
    void showRecordWindow(const records::Description& description);
    void showAbout();
    void closeAbout();
    void replaceWindow(std::unique_ptr<QWidget> next);

    Dialogs& m_dialogs;
    QString m_registerDirectory;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<AboutWindow> m_about;
};
