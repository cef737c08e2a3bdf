#pragma once

#include <QFrame>

#include <memory>

class QLabel;
class QTimer;
namespace form {
class Form;
}

// frmInitial: the start-up window that shows the product while a "please wait" line grows,
// then asks for the main menu.
class SplashWindow : public QFrame {
    Q_OBJECT
public:
    static constexpr int handOverMs = 4700;
    static constexpr int dotMs = 500;
    static const QString waitText;
    static const QChar dot;

    SplashWindow();
    ~SplashWindow() override;

Q_SIGNALS:
    // Timer1's only tick: the splash is done and the main menu should take over.
    void handOver();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void startTimers();
    void appendDot();

    std::unique_ptr<form::Form> m_form;
    QLabel* m_starting = nullptr;
    QTimer* m_handOver = nullptr;
    QTimer* m_dots = nullptr;
};
