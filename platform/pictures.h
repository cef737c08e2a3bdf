#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's own pictures, drawn as SVG and bundled as resources.
namespace pictures {

inline const QString logo = QStringLiteral(":/assets/logo.svg");
inline const QString mainMenuIcon = QStringLiteral(":/assets/mainmenu.svg");
inline const QString recordIcon = QStringLiteral(":/assets/record.svg");
inline const QString pointer = QStringLiteral(":/assets/pointer.svg");

// The picture drawn at exactly this size; an empty pixmap when the resource is missing.
QPixmap render(const QString& resource, QSize size);
QIcon icon(const QString& resource);
// The pointing hand shown over a link-like label.
QCursor pointerCursor();

} // namespace pictures
