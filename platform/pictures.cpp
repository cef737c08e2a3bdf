#include "pictures.h"

#include <QPainter>
#include <QSvgRenderer>

namespace pictures {

QPixmap render(const QString& resource, QSize size)
{
    QSvgRenderer renderer(resource);
    if (!renderer.isValid())
        return {};
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

QIcon icon(const QString& resource)
{
    QIcon result;
    for (int side : {16, 32})
        result.addPixmap(render(resource, QSize(side, side)));
    return result;
}

QCursor pointerCursor()
{
    // The fingertip is the hot spot.
    return QCursor(render(pointer, QSize(32, 32)), 11, 1);
}

} // namespace pictures
