#include "mainmenuwindow.h"

#include "formbuilder.h"
#include "pictures.h"
#include "placement.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QPushButton>

namespace {

using form::Kind;

const QSize clientSize = twips::size(8025, 5160);
const QPoint clientPosition(twips::toPixels(3900), twips::toPixels(3075));

// clang-format off
const form::Row controls[] = {
    {.name = "Label1", .kind = Kind::Label, .text = "Velmora", .rect = {1200, 240, 5655, 615}, .tabIndex = 3, .font = {"Arial", 18}, .align = Qt::AlignHCenter},
    {.name = "Frame1", .kind = Kind::Frame, .text = "Main Menu", .rect = {1320, 1080, 5295, 3615}, .tabIndex = 0},
    {.name = "cmdStockHolder", .kind = Kind::Button, .text = "StockHolder ", .rect = {2040, 360, 1455, 495}, .tabIndex = 1, .parent = "Frame1"},
    {.name = "cmdStockData", .kind = Kind::Button, .text = "Stock Data", .rect = {2040, 1080, 1455, 495}, .tabIndex = 2, .parent = "Frame1"},
    {.name = "cmdTrd", .kind = Kind::Button, .text = "Transferred Data", .rect = {2040, 1800, 1455, 495}, .tabIndex = 4, .parent = "Frame1"},
    {.name = "cmdExit", .kind = Kind::Button, .text = "Exit", .rect = {2040, 2520, 1455, 495}, .tabIndex = 5, .parent = "Frame1"},
};
// clang-format on

} // namespace

MainMenuWindow::MainMenuWindow()
{
    setObjectName(QStringLiteral("mainfrm"));
    setWindowTitle(QStringLiteral("Velmora"));
    setWindowIcon(pictures::icon(pictures::mainMenuIcon));
    buildControls();
    buildMenus();
    connectCommands();
    placeAtDesignPosition();
}

MainMenuWindow::~MainMenuWindow() = default;

void MainMenuWindow::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    m_form = std::make_unique<form::Form>(client, controls);
    m_form->firstInTabOrder()->setFocus();
}

void MainMenuWindow::buildMenus()
{
    // Two titles with no items: choosing the title runs the command.
    QAction* exitMenu = menuBar()->addAction(QStringLiteral("Exit"));
    exitMenu->setObjectName(QStringLiteral("mmuExit"));
    connect(exitMenu, &QAction::triggered, this, &MainMenuWindow::exitRequested);
    QAction* aboutMenu = menuBar()->addAction(QStringLiteral("About"));
    aboutMenu->setObjectName(QStringLiteral("mmuAbout"));
    connect(aboutMenu, &QAction::triggered, this, &MainMenuWindow::aboutRequested);
}

void MainMenuWindow::connectCommands()
{
    const auto button = [this](const char* name) {
        return m_form->get<QPushButton>(QString::fromUtf8(name));
    };
    connect(button("cmdStockHolder"), &QPushButton::clicked, this, &MainMenuWindow::stockHolderRequested);
    connect(button("cmdStockData"), &QPushButton::clicked, this, &MainMenuWindow::stockDataRequested);
    connect(button("cmdTrd"), &QPushButton::clicked, this, &MainMenuWindow::transfersRequested);
    connect(button("cmdExit"), &QPushButton::clicked, this, &MainMenuWindow::exitRequested);
}

void MainMenuWindow::placeAtDesignPosition()
{
    // The design position is that of the client area, under the menu bar.
    placement::sizeClient(this, clientSize);
    placement::placeClient(this, clientPosition);
}

void MainMenuWindow::closeEvent(QCloseEvent* event)
{
    // Closing the hub leaves no window open: the program ends.
    event->accept();
    Q_EMIT exitRequested();
}
