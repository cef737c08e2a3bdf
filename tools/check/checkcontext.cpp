#include "checkcontext.h"

#include "addedtables.h"
#include "checkedvalue.h"
#include "connection.h"
#include "schema.h"
#include "terminaltext.h"
#include "values.h"

#include <QDate>
#include <QSqlError>

namespace registercheck::checking {

Context::Context(const Connection& connection)
    : connection(connection)
    , key(connection.rowKey())
    , today(QDate::currentDate().toString(Qt::ISODate))
{}

Status each(const Context& context, const QString& statement, const std::function<void(const QSqlQuery&)>& row)
{
    QSqlQuery query(context.connection.database());
    query.setForwardOnly(true);
    if (!query.exec(statement))
        return context.connection.failure(doing, query.lastError());
    while (query.next())
        row(query);
    if (query.lastError().isValid())
        return context.connection.failure(doing, query.lastError());
    query.finish();
    return {};
}

Status readCancellations(Context& context)
{
    const Expected<bool> kept = addedtables::held(context.connection, schema::cancelledTable);
    if (!kept)
        return kept.status();
    context.cancellations = kept.value();
    return {};
}

QString certificateName(const Context& context, const QVariant& number, qint64 rowKey)
{
    return checkedvalue::certificateName(number, rowKey, context.repeatedCertificates.contains(values::shown(number)));
}

void add(Context& context, Kind kind, const QString& table, qint64 rowKey, const QVariant& number, const QString& name,
         const QString& what, std::optional<qint64> holder)
{
    context.found.append({kind, table, rowKey, values::shown(number),
                          terminaltext::visible(name + QStringLiteral(": ") + what), holder});
}

QString maybeBlank(const QString& column)
{
    return QStringLiteral("(%1 IS NULL OR trim(%1) = '')").arg(column);
}

} // namespace registercheck::checking
