#include "datedregister.h"

#include "commandline.h"
#include "connection.h"
#include "readtransaction.h"
#include "recordedregister.h"

#include <QRegularExpression>

DatedRegister::~DatedRegister()
{
    m_recorded.reset();
    m_reading.reset();
}

Expected<QDate> DatedRegister::day(const QString& option, const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2}$"));
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (!form.match(text).hasMatch() || !date.isValid())
        return Status::failure(QStringLiteral("%1 takes a real date written YYYY-MM-DD, not \"%2\"").arg(option, text));
    return date;
}

Status DatedRegister::moment(const QString& option, const QString& text, Asked& asked)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}(:[0-9]{2})?$"));
    const QRegularExpressionMatch match = form.match(text);
    const bool withSeconds = match.hasMatch() && match.capturedLength(1) > 0;
    QDateTime at = QDateTime::fromString(text, RecordedRegister::momentFormat(withSeconds));
    at.setTimeSpec(Qt::UTC);
    if (!match.hasMatch() || !at.isValid())
        return Status::failure(
            QStringLiteral("%1 takes a real moment written \"YYYY-MM-DD HH:MM\" or \"YYYY-MM-DD HH:MM:SS\" in UTC, "
                           "not \"%2\"")
                .arg(option, text));
    if (at > QDateTime::currentDateTimeUtc())
        return Status::failure(
            QStringLiteral("%1 %2 UTC is in the future; the register cannot yet say what it will hold")
                .arg(option, text));
    asked.recordedAt = at;
    asked.withSeconds = withSeconds;
    return {};
}

QString DatedRegister::readOptions(const QHash<QString, QString>& options, const QString& dayOption, Asked& asked)
{
    if (options.contains(dayOption)) {
        const Expected<QDate> on = day(dayOption, options.value(dayOption));
        if (!on)
            return on.status().message();
        asked.on = on.value();
    }
    if (options.contains(recordedOption())) {
        if (Status at = moment(recordedOption(), options.value(recordedOption()), asked); !at)
            return at.message();
    }
    return {};
}

Expected<DatedRegister::Listed> DatedRegister::list(const QString& location, const Asked& asked)
{
    Expected<std::unique_ptr<DatedRegister>> opened = open(location, asked);
    if (!opened)
        return opened.status();
    Expected<heldon::Holdings> held = heldon::holdings(opened.value()->connection(), asked.on);
    if (!held)
        return held.status();
    return Listed{std::move(opened.value()), std::move(held.value())};
}

Expected<std::unique_ptr<DatedRegister>> DatedRegister::open(const QString& location, const Asked& asked)
{
    std::unique_ptr<DatedRegister> dated(new DatedRegister);
    dated->m_asked = asked;
    Expected<std::unique_ptr<Connection>> opened = commandline::openRegister(location);
    if (!opened)
        return opened.status();
    dated->m_opened = std::move(opened.value());
    dated->m_reading = std::make_unique<ReadTransaction>(*dated->m_opened);
    if (Status begun = dated->m_reading->begin(QStringLiteral("Cannot read")); !begun)
        return begun;
    if (asked.recordedAt) {
        Expected<std::unique_ptr<RecordedRegister>> recorded =
            RecordedRegister::rebuild(*dated->m_opened, *asked.recordedAt, asked.withSeconds);
        if (!recorded)
            return recorded.status();
        dated->m_recorded = std::move(recorded.value());
        dated->m_reading->end();
    }
    return dated;
}

const Connection& DatedRegister::connection() const
{
    return m_recorded ? m_recorded->connection() : *m_opened;
}

const QString& DatedRegister::path() const
{
    return m_opened->path();
}

QString DatedRegister::view() const
{
    QStringList parts;
    if (m_asked.on)
        parts.append(QStringLiteral("as it took effect on %1").arg(m_asked.on->toString(Qt::ISODate)));
    if (m_asked.recordedAt)
        parts.append(QStringLiteral("as recorded at %1 UTC")
                         .arg(m_asked.recordedAt->toString(RecordedRegister::momentFormat(m_asked.withSeconds))));
    return parts.isEmpty() ? QStringLiteral("as it stands") : parts.join(QLatin1String(", "));
}
