#include "sharetransfer.h"

#include "addedtables.h"
#include "checkedvalue.h"
#include "connection.h"
#include "registercheck.h"
#include "rowwriter.h"
#include "schema.h"
#include "values.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <functional>

namespace sharetransfer {

namespace {

const QString doing = QStringLiteral("Cannot record the transfer in");

// One record as stored, its columns in the schema's order.
struct Row {
    qint64 rowKey = 0;
    QVariantList values;
};

// The work of one transfer, inside its write transaction.
class Transfer {
public:
    Transfer(const Connection& connection, const Request& request)
        : m_connection(connection)
        , m_request(request)
    {}

    Expected<Outcome> run();

private:
    Expected<QList<Row>> rowsOf(const schema::Table& table, const QString& where, const QVariant& bound) const;
    // The one shareholder record that number names; a refusal when none or several do.
    Expected<std::optional<Row>> holder(qint64 number, Outcome& outcome) const;
    // The check's findings that would make this transfer wrong: the certificate's own record against its last
    // transfer, and either holder's total against what they hold.
    Expected<QString> disagreement(qint64 certificateKey, qint64 from, qint64 to) const;
    Expected<QString> lastTransferDate(const QVariant& number) const;
    // When the certificate was cancelled; empty when it was not.
    Expected<QString> cancelled(const QVariant& number) const;
    // Why the split may not be made: its shares, or a new number that is taken.
    Expected<QString> splitRefusal(const Row& certificate) const;
    Status write(const Row& certificate, const Row& from, const Row& to, const Outcome& outcome);
    Status writeSplit(const Row& certificate, const Outcome& outcome);
    Status failed(const QSqlQuery& query) const { return m_writer.failed(query); }

    const Connection& m_connection;
    const Request& m_request;
    const schema::Table& m_certificates = *schema::table(u"stock_data");
    const schema::Table& m_holders = *schema::table(u"stockholder");
    const schema::Table& m_transfers = *schema::table(u"transfer_data");
    const schema::Table& m_cancelled = *schema::table(schema::cancelledTable);
    bool m_cancellations = false; // whether the register holds the cancelled certificates' table
    mutable RowWriter m_writer{m_connection, doing};
};

QVariant at(const schema::Table& table, const Row& row, const char* column)
{
    return row.values.value(table.indexOf(QString::fromLatin1(column)));
}

QString recordKeys(const QList<Row>& rows)
{
    QStringList keys;
    for (const Row& row : rows)
        keys.append(QString::number(row.rowKey));
    return keys.join(QLatin1String(", "));
}

Expected<QList<Row>> Transfer::rowsOf(const schema::Table& table, const QString& where, const QVariant& bound) const
{
    QStringList columns;
    for (const schema::Column& column : table.columns)
        columns.append(schema::quoted(column.name));
    QSqlQuery& query = m_writer.query();
    query.setForwardOnly(true);
    if (!query.prepare(
            QStringLiteral("SELECT %1, %2 FROM %3 WHERE %4 ORDER BY %1")
                .arg(m_connection.rowKey(), columns.join(QLatin1String(", ")), schema::quoted(table.name), where)))
        return failed(query);
    query.bindValue(0, bound);
    if (!query.exec())
        return failed(query);
    QList<Row> rows;
    while (query.next()) {
        Row row{values::read(query, 0).toLongLong(), {}};
        for (int i = 0; i < table.columns.size(); ++i)
            row.values.append(values::read(query, i + 1));
        rows.append(row);
    }
    if (query.lastError().isValid())
        return failed(query);
    return rows;
}

Expected<std::optional<Row>> Transfer::holder(qint64 number, Outcome& outcome) const
{
    const Expected<QList<Row>> found = rowsOf(
        m_holders, m_connection.wholeNumberOf(QStringLiteral("stockholder_no")) + QStringLiteral(" = ?"), number);
    if (!found)
        return found.status();
    if (found->isEmpty())
        outcome.refused = QStringLiteral("There is no shareholder %1.").arg(number);
    else if (found->size() > 1)
        outcome.refused = QStringLiteral("The shareholder number %1 is on %2 records (%3); velmora-register check "
                                         "names them.")
                              .arg(number)
                              .arg(found->size())
                              .arg(recordKeys(found.value()));
    if (!outcome.refused.isEmpty())
        return std::optional<Row>();
    return std::optional<Row>(found->first());
}

Expected<QString> Transfer::disagreement(qint64 certificateKey, qint64 from, qint64 to) const
{
    const Expected<QList<registercheck::Finding>> findings = registercheck::run(m_connection);
    if (!findings)
        return findings.status();
    QStringList found;
    for (const registercheck::Finding& finding : findings.value()) {
        const bool certificate =
            finding.table == m_certificates.name && finding.rowKey == certificateKey
            && (finding.kind == registercheck::Kind::Chain || finding.kind == registercheck::Kind::Total);
        const bool total = finding.kind == registercheck::Kind::Total && finding.table == m_holders.name
                           && (finding.holder == from || finding.holder == to);
        if (certificate || total)
            found.append(finding.text);
    }
    if (found.isEmpty())
        return QString();
    return QStringLiteral("Nothing was transferred, because the register disagrees with itself here: %1 Put the "
                          "record right, or run velmora-register check --fix-totals for a total.")
        .arg(found.join(QLatin1Char(' ')));
}

Expected<QString> Transfer::lastTransferDate(const QVariant& number) const
{
    const Expected<QList<Row>> transfers = rowsOf(m_transfers, QStringLiteral("stock_no = ?"), number);
    if (!transfers)
        return transfers.status();
    QString last;
    for (const Row& row : transfers.value()) {
        const QVariant date = at(m_transfers, row, "transferred_date");
        checkedvalue::Problems problems;
        checkedvalue::judgeDate(problems, date, QString());
        if (!checkedvalue::blank(date) && problems.isEmpty())
            last = std::max(last, date.toString());
    }
    return last;
}

Expected<QString> Transfer::cancelled(const QVariant& number) const
{
    if (!m_cancellations)
        return QString();
    const Expected<QList<Row>> found = rowsOf(m_cancelled, QStringLiteral("stock_no = ?"), number);
    if (!found)
        return found.status();
    return found->isEmpty() ? QString() : values::shown(at(m_cancelled, found->first(), "cancelled_date"));
}

Expected<QString> Transfer::splitRefusal(const Row& certificate) const
{
    const qint64 quantity = values::wholeNumber(at(m_certificates, certificate, "stock_qty")).value;
    if (*m_request.shares < 1 || *m_request.shares >= quantity)
        return QStringLiteral("--shares %1 is not between 1 and %2, one less than the %3 shares of certificate %4.")
            .arg(*m_request.shares)
            .arg(quantity - 1)
            .arg(quantity)
            .arg(values::shown(at(m_certificates, certificate, "stock_no")));
    if (Status kept =
            addedtables::requireHeld(m_connection, m_cancelled.name, QStringLiteral("Cannot cancel a certificate in"));
        !kept)
        return kept.message();
    for (const QString& number : {m_request.balance, m_request.issued}) {
        for (const schema::Table* table : {&m_certificates, &m_cancelled}) {
            const Expected<QList<Row>> taken = rowsOf(*table, QStringLiteral("stock_no = ?"), number);
            if (!taken)
                return taken.status();
            if (!taken->isEmpty())
                return QStringLiteral("The certificate number %1 is taken already.").arg(number);
        }
    }
    return QString();
}

Status Transfer::writeSplit(const Row& certificate, const Outcome& outcome)
{
    const QVariant number = outcome.certificate;
    const QVariant type = at(m_certificates, certificate, "stock_type");
    const QVariant item = at(m_certificates, certificate, "item_code");
    const QString& date = m_request.date;
    const std::function<Status()> steps[] = {
        [&] {
            return m_writer.add(
                m_cancelled,
                {number, date,
                 QStringLiteral("split: %1 shares transferred to shareholder %2").arg(outcome.shares).arg(outcome.to),
                 m_request.balance + QLatin1Char(',') + m_request.issued});
        },
        [&] {
            return m_writer.set(m_certificates, certificate.rowKey, number, QStringLiteral("present_holder"),
                                at(m_certificates, certificate, "present_holder"), QVariant());
        },
        [&] {
            return m_writer.add(m_certificates, {m_request.balance, type, date, item, outcome.from, outcome.from,
                                                 outcome.balanceShares});
        },
        [&] {
            return m_writer.add(m_certificates,
                                {m_request.issued, type, date, item, outcome.from, outcome.to, outcome.shares});
        },
        [&] {
            return m_writer.add(m_transfers, {m_request.issued, date, outcome.from, outcome.to, item});
        },
    };
    for (const std::function<Status()>& step : steps) {
        if (Status done = step(); !done)
            return done;
    }
    return {};
}

Status Transfer::write(const Row& certificate, const Row& from, const Row& to, const Outcome& outcome)
{
    const QString total = QStringLiteral("total_share");
    const QVariant number = outcome.certificate;
    // One after the other, the first failure ending the rest.
    const std::function<Status()> steps[] = {
        [&] {
            if (m_request.shares)
                return writeSplit(certificate, outcome);
            if (Status added = m_writer.add(m_transfers, {number, m_request.date, outcome.from, outcome.to,
                                                          at(m_certificates, certificate, "item_code")});
                !added)
                return added;
            return m_writer.set(m_certificates, certificate.rowKey, number, QStringLiteral("present_holder"),
                                at(m_certificates, certificate, "present_holder"), outcome.to);
        },
        [&] {
            return m_writer.set(m_holders, from.rowKey, from.values.value(0), total, at(m_holders, from, "total_share"),
                                outcome.fromTotal);
        },
        [&] {
            return m_writer.set(m_holders, to.rowKey, to.values.value(0), total, at(m_holders, to, "total_share"),
                                outcome.toTotal);
        },
    };
    for (const std::function<Status()>& step : steps) {
        if (Status done = step(); !done)
            return done;
    }
    return {};
}

Expected<Outcome> Transfer::run()
{
    if (Status begun = m_writer.begin(); !begun)
        return begun;
    const Expected<bool> cancellations = addedtables::held(m_connection, m_cancelled.name);
    if (!cancellations)
        return cancellations.status();
    m_cancellations = cancellations.value();
    // No clerk moves a certificate or changes a total until this is stored or given up.
    QStringList held;
    for (const schema::Table* table : {&m_certificates, &m_holders, &m_transfers, &m_cancelled}) {
        if (table != &m_cancelled || m_cancellations)
            held.append(schema::quoted(table->name));
    }
    QSqlQuery& hold = m_writer.query();
    if (const QString statement = m_connection.holdWrites(held); !statement.isEmpty() && !hold.exec(statement))
        return failed(hold);

    Outcome outcome;
    outcome.to = m_request.holder;
    const Expected<QList<Row>> certificates =
        rowsOf(m_certificates, QStringLiteral("stock_no = ?"), m_request.certificate);
    if (!certificates)
        return certificates.status();
    if (certificates->isEmpty()) {
        outcome.refused = QStringLiteral("There is no certificate %1.").arg(m_request.certificate);
        return outcome;
    }
    if (certificates->size() > 1) {
        outcome.refused = QStringLiteral("The certificate number %1 is on %2 records (%3); velmora-register check "
                                         "names them.")
                              .arg(m_request.certificate)
                              .arg(certificates->size())
                              .arg(recordKeys(certificates.value()));
        return outcome;
    }
    const Row& certificate = certificates->first();
    outcome.certificate = at(m_certificates, certificate, "stock_no");
    const QString name = QStringLiteral("certificate %1").arg(values::shown(outcome.certificate));
    const Expected<QString> cancelledOn = cancelled(outcome.certificate);
    if (!cancelledOn)
        return cancelledOn.status();
    if (!cancelledOn->isEmpty()) {
        outcome.refused = QStringLiteral("The %1 was cancelled on %2.").arg(name, cancelledOn.value());
        return outcome;
    }

    const Expected<std::optional<Row>> to = holder(m_request.holder, outcome);
    if (!to || !to.value())
        return to ? Expected<Outcome>(outcome) : Expected<Outcome>(to.status());
    const QVariant present = at(m_certificates, certificate, "present_holder");
    const values::WholeNumber from = values::wholeNumber(present);
    if (from.form != values::WholeNumber::Whole) {
        outcome.refused = from.form == values::WholeNumber::Blank
                              ? QStringLiteral("The %1 has no present holder to transfer it from.").arg(name)
                              : QStringLiteral("The present holder %1 of %2 is no shareholder number.")
                                    .arg(checkedvalue::quoted(present), name);
        return outcome;
    }
    outcome.from = from.value;
    if (outcome.from == outcome.to) {
        outcome.refused = QStringLiteral("Shareholder %1 already holds %2.").arg(outcome.to).arg(name);
        return outcome;
    }
    const Expected<std::optional<Row>> seller = holder(outcome.from, outcome);
    if (!seller || !seller.value())
        return seller ? Expected<Outcome>(outcome) : Expected<Outcome>(seller.status());

    const QVariant published = at(m_certificates, certificate, "publish_date");
    const Expected<QString> last = lastTransferDate(outcome.certificate);
    if (!last)
        return last.status();
    if (!checkedvalue::blank(published) && m_request.date < published.toString())
        outcome.refused = QStringLiteral("The date %1 is before %2 was published, on %3.")
                              .arg(m_request.date, name, values::shown(published));
    else if (m_request.date < last.value())
        outcome.refused = QStringLiteral("The date %1 is before the last transfer of %2, on %3.")
                              .arg(m_request.date, name, last.value());
    if (!outcome.refused.isEmpty())
        return outcome;
    const Expected<QString> disagrees = disagreement(certificate.rowKey, outcome.from, outcome.to);
    if (!disagrees)
        return disagrees.status();
    if (!disagrees->isEmpty()) {
        outcome.refused = disagrees.value();
        return outcome;
    }
    if (m_request.shares) {
        const Expected<QString> split = splitRefusal(certificate);
        if (!split || !split->isEmpty()) {
            outcome.refused = split ? split.value() : QString();
            return split ? Expected<Outcome>(outcome) : Expected<Outcome>(split.status());
        }
    }

    // The check found each total to be what its holder holds.
    const qint64 quantity = values::wholeNumber(at(m_certificates, certificate, "stock_qty")).value;
    outcome.shares = m_request.shares.value_or(quantity);
    outcome.balanceShares = quantity - outcome.shares;
    const auto totalOf = [&](const Row& row) {
        return values::wholeNumber(at(m_holders, row, "total_share")).value;
    };
    outcome.fromTotal = totalOf(*seller.value()) - outcome.shares;
    outcome.toTotal = totalOf(*to.value()) + outcome.shares;
    if (Status written = write(certificate, *seller.value(), *to.value(), outcome); !written)
        return written;
    if (Status committed = m_writer.commit(); !committed)
        return committed;
    return outcome;
}

} // namespace

Expected<Outcome> record(const Connection& connection, const Request& request)
{
    return Transfer(connection, request).run();
}

} // namespace sharetransfer
