#include "shell.h"

#include "aboutwindow.h"
#include "mainmenuwindow.h"
#include "splashwindow.h"

// Window requests arrive queued: a window is never deleted inside one of its own handlers.

Shell::Shell(QObject* parent)
    : QObject(parent)
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
    replaceWindow(std::move(menu));
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
}

void Shell::replaceWindow(std::unique_ptr<QWidget> next)
{
    // The window being left goes first, then the next one is shown.
    m_window.reset();
    m_window = std::move(next);
    m_window->show();
}
