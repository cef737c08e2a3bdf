#include "xsession.h"

#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

XSession::XSession()
{
    const QString server = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    if (server.isEmpty() || m_xdotool.isEmpty()) {
        m_whyNot = QStringLiteral("Xvfb and xdotool are needed (packages xvfb and xdotool)");
        return;
    }
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::SeparateChannels);
    m_server->start(server,
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                     QStringLiteral("%1x%2x24").arg(m_screen.width()).arg(m_screen.height()),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    // The server writes its display number once it accepts connections.
    while (!m_server->canReadLine() && m_server->waitForReadyRead(10000)) {
    }
    const QString number = QString::fromLatin1(m_server->readLine()).trimmed();
    if (number.isEmpty()) {
        m_whyNot = QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(m_server->readAllStandardError());
        return;
    }
    m_display = QLatin1Char(':') + number;
}

XSession::~XSession()
{
    for (auto& program : m_programs) {
        program->kill();
        program->waitForFinished(3000);
    }
    if (m_server) {
        m_server->terminate();
        if (!m_server->waitForFinished(3000))
            m_server->kill();
    }
}

QProcess* XSession::launch(const QString& program, const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(program, arguments);
    m_programs.push_back(std::move(process));
    return m_programs.back().get();
}

QList<XSession::Window> XSession::visibleWindows(qint64 pid) const
{
    QList<Window> windows;
    const QStringList ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                     QString::number(pid)})
                                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    static const QRegularExpression field(QStringLiteral("^(X|Y|WIDTH|HEIGHT)=(-?\\d+)$"),
                                          QRegularExpression::MultilineOption);
    for (const QString& id : ids) {
        Window window{id, xdotool({QStringLiteral("getwindowname"), id}).trimmed(), {}};
        auto it = field.globalMatch(xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id}));
        while (it.hasNext()) {
            const auto match = it.next();
            const int value = match.captured(2).toInt();
            const QString key = match.captured(1);
            if (key == QLatin1String("X"))
                window.geometry.moveLeft(value);
            else if (key == QLatin1String("Y"))
                window.geometry.moveTop(value);
            else if (key == QLatin1String("WIDTH"))
                window.geometry.setWidth(value);
            else
                window.geometry.setHeight(value);
        }
        windows.append(window);
    }
    return windows;
}

void XSession::click(const Window& window, QPoint at) const
{
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window.id, QString::number(at.x()),
             QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

void XSession::move(const Window& window, QPoint to) const
{
    xdotool({QStringLiteral("windowmove"), window.id, QString::number(to.x()), QString::number(to.y())});
}

void XSession::key(const QString& name) const
{
    xdotool({QStringLiteral("key"), name});
}

void XSession::type(const QString& text) const
{
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), QStringLiteral("--"), text});
}

QString XSession::xdotool(const QStringList& arguments) const
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    tool.setProcessEnvironment(environment);
    tool.start(m_xdotool, arguments);
    tool.waitForFinished(5000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}
