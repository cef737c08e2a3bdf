#pragma once

#include <QProcess>
#include <QRect>
#include <QString>

#include <memory>

// A private X server for one test, with xdotool to look at and click the program's windows.
class XSession {
public:
    struct Window {
        QString id;
        QString name;
        QRect geometry;
    };

    XSession();
    ~XSession();

    // Empty when the session runs; otherwise why it could not start.
    QString whyNot() const { return m_whyNot; }
    QSize screenSize() const { return m_screen; }

    // Starts a program on this display; it is killed when the session ends.
    QProcess* launch(const QString& program, const QStringList& arguments = {});
    QList<Window> visibleWindows(qint64 pid) const;
    void click(const Window& window, QPoint at) const;
    // Moves a window's top-left corner to a point on the screen.
    void move(const Window& window, QPoint to) const;
    // Keys by their X names ("Return", "End"), and text typed, to the window that has the keyboard.
    void key(const QString& name) const;
    void type(const QString& text) const;

private:
    QString xdotool(const QStringList& arguments) const;

    QSize m_screen{1024, 768};
    QString m_display;
    QString m_whyNot;
    QString m_xdotool;
    std::unique_ptr<QProcess> m_server;
    std::vector<std::unique_ptr<QProcess>> m_programs;
};
