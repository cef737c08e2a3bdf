#include "aboutwindow.h"

#include "formbuilder.h"
#include "pictures.h"
#include "placement.h"

#include <QLabel>
#include <QPushButton>

namespace {

using form::Kind;

const QSize clientSize = twips::size(5850, 3075);

// clang-format off
const form::Row controls[] = {
    {.name = "Image1", .kind = Kind::Picture, .text = "Velmora logo", .rect = {120, 120, 1335, 1500}, .picture = ":/assets/logo.svg"},
    // Wide enough for the product name on one line.
    {.name = "lblTitle", .kind = Kind::Label, .text = "System.", .rect = {1770, 240, 1335, 195}, .tabIndex = 3, .color = qRgb(0, 0, 0)},
    {.name = "lblVersion", .kind = Kind::Label, .text = "Version.1.0", .rect = {1770, 720, 3885, 225}, .tabIndex = 4},
    {.name = "Line1", .kind = Kind::Line, .rect = {120, 1920, 5669, 1920}, .index = 0, .color = qRgb(255, 255, 255)},
    {.name = "Line1", .kind = Kind::Line, .rect = {120, 1920, 5684, 1920}, .index = 1, .color = qRgb(128, 128, 128)},
    {.name = "lblDisclaimer", .kind = Kind::Label, .text = "Brenmoor register team, BRN-1042", .rect = {240, 2145, 3180, 195}, .tabIndex = 2, .color = qRgb(0, 0, 0)},
    {.name = "Label2", .kind = Kind::Label, .text = "vm@brenmoor.example", .rect = {360, 2520, 2055, 180}, .tabIndex = 5, .font = {nullptr, 9, form::Underline}, .color = qRgb(0, 0, 255)},
    {.name = "cmdOK", .kind = Kind::Button, .text = "OK", .rect = {4605, 2400, 1020, 345}, .tabIndex = 0},
};
// clang-format on

} // namespace

AboutWindow::AboutWindow()
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                           | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Velmora v1.0"));
    setWindowModality(Qt::ApplicationModal);
    buildControls();
    load();
    placement::centreOnScreen(this);
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::buildControls()
{
    setFixedSize(clientSize);
    m_form = std::make_unique<form::Form>(this, controls);
    m_form->widget(QStringLiteral("Label2"))->setCursor(pictures::pointerCursor());
    auto* ok = m_form->get<QPushButton>(QStringLiteral("cmdOK"));
    ok->setDefault(true); // Enter; Esc rejects, which closes the window the same way
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    ok->setFocus();
}

void AboutWindow::load()
{
    m_form->get<QLabel>(QStringLiteral("lblTitle"))->setText(QStringLiteral("Velmora"));
}
