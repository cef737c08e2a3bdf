#include "heldregister.h"

#include "commandline.h"
#include "historyview.h"

namespace heldregister {

QString rows(const QList<registercontents::Counted>& counted)
{
    QStringList counts;
    for (const registercontents::Counted& table : counted) {
        const bool changes = table.table == history::tableName;
        counts.append(QStringLiteral("%1 %2").arg(
            changes ? QStringLiteral("history") : table.table,
            commandline::counted(table.rows, changes ? QStringLiteral("change") : QStringLiteral("row"))));
    }
    return counts.join(QLatin1String(", "));
}

QString described(const registercontents::Held& held)
{
    if (held.newest)
        return QStringLiteral("last changed %1").arg(historyview::lastChange(*held.newest));
    return QStringLiteral("with no change in a history, holding %1").arg(rows(held.rows));
}

} // namespace heldregister
