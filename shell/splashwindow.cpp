#include "splashwindow.h"

#include "formbuilder.h"
#include "pictures.h"
#include "placement.h"

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>

namespace {

using form::Bold;
using form::Italic;
using form::Kind;

constexpr int border = 3; // the fixed dialog border around the client area
const QSize clientSize = twips::size(7320, 4275);

// clang-format off
const form::Row controls[] = {
    {.name = "Frame1", .kind = Kind::Frame, .rect = {120, 0, 7080, 4170}},
    {.name = "Image1", .kind = Kind::Picture, .text = "Velmora logo", .rect = {600, 1080, 1335, 1500}, .parent = "Frame1", .picture = ":/assets/logo.svg"},
    {.name = "lblProductName", .kind = Kind::Label, .text = "Velmora", .rect = {2400, 720, 4275, 465}, .parent = "Frame1", .font = {"Arial Narrow", 20.25, Bold}},
    {.name = "lblVersion", .kind = Kind::Label, .text = "ver. 1.0", .rect = {6120, 1200, 555, 240}, .parent = "Frame1", .index = 0, .font = {"Arial Narrow", 9.75, Bold}, .align = Qt::AlignRight},
    {.name = "lblCompany", .kind = Kind::Label, .text = "Brenmoor", .rect = {2880, 1560, 1185, 300}, .parent = "Frame1", .font = {"Arial Narrow", 12, Bold}},
    {.name = "lblPlatform", .kind = Kind::Label, .text = "for Windows 98/2000/XP", .rect = {4035, 2400, 2250, 300}, .parent = "Frame1", .index = 0, .font = {"Arial Narrow", 12, Bold | Italic}, .align = Qt::AlignRight},
    {.name = "lblStarting", .kind = Kind::Label, .text = "Initialize database, please wait", .rect = {1320, 3480, 4215, 195}, .parent = "Frame1", .font = {"Arial", 8.25}},
    {.name = "lblCompanyProduct", .kind = Kind::Label, .rect = {2355, 600, 105, 360}, .parent = "Frame1"},
};
// clang-format on

} // namespace

const QString SplashWindow::waitText = QStringLiteral("Initialize database, please wait");
const QChar SplashWindow::dot = QChar(0x2027);

SplashWindow::SplashWindow()
    : QFrame(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmInitial"));
    buildControls();
    placement::centreOnScreen(this);
    startTimers();
}

SplashWindow::~SplashWindow() = default;

void SplashWindow::buildControls()
{
    setFrameStyle(QFrame::WinPanel | QFrame::Raised);
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setGeometry(QRect(QPoint(border, border), clientSize));
    setFixedSize(clientSize + QSize(2 * border, 2 * border));
    m_form = std::make_unique<form::Form>(client, controls);
    m_starting = m_form->get<QLabel>(QStringLiteral("lblStarting"));
}

void SplashWindow::startTimers()
{
    // Precise timers: a coarse 4700 ms timer may fire up to 5% early, before the ninth dot.
    m_handOver = new QTimer(this);
    m_handOver->setObjectName(QStringLiteral("Timer1"));
    m_handOver->setTimerType(Qt::PreciseTimer);
    m_handOver->setInterval(handOverMs);
    connect(m_handOver, &QTimer::timeout, this, [this] {
        m_handOver->stop();
        m_dots->stop();
        Q_EMIT handOver();
    });

    m_dots = new QTimer(this);
    m_dots->setObjectName(QStringLiteral("Timer2"));
    m_dots->setTimerType(Qt::PreciseTimer);
    m_dots->setInterval(dotMs);
    connect(m_dots, &QTimer::timeout, this, &SplashWindow::appendDot);

    m_handOver->start();
    m_dots->start();
}

void SplashWindow::appendDot()
{
    m_starting->setText(m_starting->text() + dot);
}

void SplashWindow::closeEvent(QCloseEvent* event)
{
    // No close button: the wait can be neither skipped nor cut short.
    event->ignore();
}
