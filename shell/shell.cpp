#include "shell.h"

#include "aboutwindow.h"
#include "dialogs.h"
#include "mainmenuwindow.h"
#include "recordwindow.h"
#include "splashwindow.h"
#include "stockdatawindow.h"
#include "stockholderwindow.h"
#include "transferwindow.h"

// Window requests arrive queued: a window is never deleted inside one of its own handlers.

Shell::Shell(Dialogs& dialogs, const QString& registerDirectory, QObject* parent)
    : QObject(parent)
    , m_dialogs(dialogs)
    , m_registerDirectory(registerDirectory)
{}

Shell::~Shell() = default;

void Shell::start()
{
    showSplash();
}

void Shell::showSplash()
{
    auto splash = std::make_unique<SplashWindow>();
    connect(splash.get(), &SplashWindow::handOver, this, &Shell::showMainMenu, Qt::QueuedConnection);
    replaceWindow(std::move(splash));
}

void Shell::showMainMenu()
{
    auto menu = std::make_unique<MainMenuWindow>();
    connect(menu.get(), &MainMenuWindow::aboutRequested, this, &Shell::showAbout, Qt::QueuedConnection);
    connect(menu.get(), &MainMenuWindow::exitRequested, this, &Shell::finished, Qt::QueuedConnection);
    const auto opens = [this, &menu](auto request, const records::Description& description) {
        connect(
            menu.get(), request, this, [this, shown = &description] { showRecordWindow(*shown); },
            Qt::QueuedConnection);
    };
    opens(&MainMenuWindow::stockHolderRequested, records::stockHolder());
    opens(&MainMenuWindow::stockDataRequested, records::stockData());
    opens(&MainMenuWindow::transfersRequested, records::transfers());
    replaceWindow(std::move(menu));
}

void Shell::showRecordWindow(const records::Description& description)
{
    // The main menu goes before the record window loads.
    m_window.reset();
    auto window = std::make_unique<RecordWindow>(description, m_dialogs, m_registerDirectory);
    if (Status loaded = window->load(); !loaded) {
        m_dialogs.showFailure(loaded.message());
        showMainMenu();
        return;
    }
    connect(window.get(), &RecordWindow::exitRequested, this, &Shell::showMainMenu, Qt::QueuedConnection);
    connect(window.get(), &RecordWindow::aboutRequested, this, &Shell::showAbout, Qt::QueuedConnection);
    RecordWindow* shown = window.get();
    replaceWindow(std::move(window));
    shown->activate();
}

void Shell::showAbout()
{
    if (m_about)
        return;
    m_about = std::make_unique<AboutWindow>();
    connect(m_about.get(), &QDialog::finished, this, &Shell::closeAbout, Qt::QueuedConnection);
    m_about->show();
}

void Shell::closeAbout()
{
    m_about.reset();
    // The window underneath becomes active again, with or without a window manager to see to it.
    if (m_window)
        m_window->activateWindow();
    if (auto* record = qobject_cast<RecordWindow*>(m_window.get()))
        record->activate();
}

void Shell::replaceWindow(std::unique_ptr<QWidget> next)
{
    // The window being left goes first, then the next one is shown.
    m_window.reset();
    m_window = std::move(next);
    m_window->show();
    // The window shown takes the keyboard, modal or not, with or without a window manager to see to it.
    m_window->activateWindow();
}
