#include "classiclook.h"

#include <QApplication>
#include <QFont>
#include <QStyle>
#include <QStyleFactory>

namespace classiclook {

void apply()
{
    // Liberation fonts share the Windows fonts' metrics; fontconfig maps Arial and Arial Narrow itself.
    const QStringList sans{QStringLiteral("Liberation Sans"), QStringLiteral("Arial")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), sans);
    QFont::insertSubstitutions(QStringLiteral("Microsoft Sans Serif"), sans);

    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(style);
        QApplication::setPalette(style->standardPalette());
    }
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    QApplication::setFont(font);
}

} // namespace classiclook
