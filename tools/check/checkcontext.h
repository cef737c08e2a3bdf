#pragma once

#include "registercheck.h"

#include <QSqlQuery>
#include <QString>

#include <functional>

class Connection;

// What the register check's parts share while one run goes on: the findings so far and what later findings need.
namespace registercheck::checking {

inline const QString doing = QStringLiteral("Cannot check");
inline const QString certificates = QStringLiteral("stock_data");
inline const QString holders = QStringLiteral("stockholder");
inline const QString transfers = QStringLiteral("transfer_data");

// What one run has found so far, and what it knows of the register that later findings need.
struct Context {
    explicit Context(const Connection& connection);
    const Connection& connection;
    QString key;
    QList<Finding> found;
    QSet<QString> repeatedCertificates; // numbers that more than one certificate has
    QSet<qint64> holderNumbers;
    bool cancellations = false; // whether the register keeps the cancelled certificates
    QString today;
};

// Runs a query to its end, one row at a time; the next query starts only after.
Status each(const Context& context, const QString& statement, const std::function<void(const QSqlQuery&)>& row);
Status readCancellations(Context& context);
QString certificateName(const Context& context, const QVariant& number, qint64 rowKey);
void add(Context& context, Kind kind, const QString& table, qint64 rowKey, const QVariant& number, const QString& name,
         const QString& what, std::optional<qint64> holder = {});
// SQL, true for a number that may be blank: no value, or nothing but blanks.
QString maybeBlank(const QString& column);

// Transfers of a certificate that is not there, and each certificate's last transfer that does not end with its
// present holder.
Status checkTransfers(Context& context);
// A cancelled certificate that is still someone's present holding, from the day it was cancelled.
Status checkCancelled(Context& context);

} // namespace registercheck::checking
