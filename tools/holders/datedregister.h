#pragma once

#include "heldon.h"
#include "status.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>

class Connection;
class ReadTransaction;
class RecordedRegister;

// A register read for a day: as it stands, or as it was recorded at a moment (rebuilt from its history), and the
// day its lists are taken on. Read at one moment, however many clerks save meanwhile.
class DatedRegister {
public:
    // What --on, --record-date and --as-recorded-at were given, checked before anything is opened.
    struct Asked {
        std::optional<QDate> on;
        std::optional<QDateTime> recordedAt; // UTC
        bool withSeconds = false;
    };

    ~DatedRegister();

    // A real day written YYYY-MM-DD; a refusal names the option and the text.
    static Expected<QDate> day(const QString& option, const QString& text);
    // "YYYY-MM-DD HH:MM[:SS]" in UTC, no later than now.
    static Status moment(const QString& option, const QString& text, Asked& asked);

    // Reads the day from dayOption (--on, --record-date) and --as-recorded-at; says what is wrong, or nothing.
    static QString readOptions(const QHash<QString, QString>& options, const QString& dayOption, Asked& asked);
    static QString recordedOption() { return QStringLiteral("--as-recorded-at"); }

    static Expected<std::unique_ptr<DatedRegister>> open(const QString& location, const Asked& asked);

    // The register opened for the day and view asked, and who held what then.
    struct Listed {
        std::unique_ptr<DatedRegister> dated;
        heldon::Holdings held;
    };
    static Expected<Listed> list(const QString& location, const Asked& asked);

    // The register the lists read: the one opened, or the one rebuilt from its history.
    const Connection& connection() const;
    // The register as messages name it.
    const QString& path() const;
    const std::optional<QDate>& on() const { return m_asked.on; }
    // Which view this is, for a title: "as it took effect on 2024-12-31, as recorded at 2025-01-10 09:00 UTC".
    QString view() const;

private:
    DatedRegister() = default;

    Asked m_asked;
    std::unique_ptr<Connection> m_opened;
    std::unique_ptr<ReadTransaction> m_reading;
    std::unique_ptr<RecordedRegister> m_recorded;
};
