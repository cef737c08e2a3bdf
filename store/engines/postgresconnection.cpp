#include "postgresconnection.h"

#include "history.h"
#include "schema.h"

#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

constexpr int lockWaitMs = 1500; // how long a save waits for another clerk's lock before giving up
// How long a clerk's window waits for any one statement; far beyond any the windows send, as they read one row.
constexpr int statementWaitMs = 10000;
// A server that vanished without a word is noticed within about ten seconds, however many hosts are tried.
constexpr int connectWaitSeconds = 10;
const std::pair<const char*, const char*> vanishedServer[] = {
    {"keepalives", "1"},
    {"keepalives_idle", "3"}, // seconds: probes after 3 quiet seconds, every 2 seconds, given up after 3
    {"keepalives_interval", "2"},
    {"keepalives_count", "3"},
    {"tcp_user_timeout", "9000"}, // milliseconds a sent statement may stay unacknowledged
};

// What a failure's SQLSTATE means to the clerk, and what to do; empty when the engine's own words must do.
QString reasonFor(const QString& state, bool writing)
{
    const QString administrator = QStringLiteral("ask the administrator to grant it the clerks' role");
    if (state.startsWith(QLatin1String("28")))
        return QStringLiteral("the server refused the login (check the user name and the password file, or ask the "
                              "administrator for a login)");
    if (state == QLatin1String("3D000"))
        return QStringLiteral("the server has no such database (check the database name in the URI)");
    if (state == QLatin1String("42501"))
        return QStringLiteral("this login has no right to %1 this table (%2)")
            .arg(writing ? QStringLiteral("write to") : QStringLiteral("read"), administrator);
    if (state.startsWith(QLatin1String("08")))
        return QStringLiteral("the server cannot be reached (check the host and port in the URI, and that the server "
                              "is running)");
    if (state == QLatin1String("55P03") || state == QLatin1String("40P01") || state == QLatin1String("40001"))
        return QStringLiteral("the register is in use by another clerk, who holds this record");
    if (state.startsWith(QLatin1String("53")))
        return QStringLiteral("the server is out of resources");
    if (state == QLatin1String("25006"))
        return QStringLiteral("no server the URI names accepts writes: each is down or a standby (try again once a "
                              "standby is promoted or the primary is back)");
    if (state == QLatin1String("57014"))
        return QStringLiteral("the server did not answer in time and cancelled the statement (it may be busy; try "
                              "again)");
    return {};
}

// The SQLSTATE of a connection that could not be made, which the driver leaves out, from libpq's words; empty
// when the server answered with something else, or libpq refused an option itself.
QString stateOfRefusal(const QString& text)
{
    static const std::pair<QRegularExpression, QString> refusals[] = {
        {QRegularExpression(QStringLiteral("role \"[^\"]*\" does not exist|authentication failed|"
                                           "no password supplied|no pg_hba\\.conf entry|not permitted to log in|"
                                           "permission denied for database")),
         QStringLiteral("28000")},
        {QRegularExpression(QStringLiteral("database \"[^\"]*\" does not exist")), QStringLiteral("3D000")},
        {QRegularExpression(QStringLiteral("too many connections|connection slots are reserved")),
         QStringLiteral("53300")},
        {QRegularExpression(QStringLiteral("session is read-only|server is in hot standby mode")),
         QStringLiteral("25006")},
        {QRegularExpression(QStringLiteral("FATAL:")), QString()},
        {QRegularExpression(QStringLiteral("^connection to server|could not connect|could not translate host name|"
                                           "timeout expired")),
         QStringLiteral("08001")},
    };
    for (const auto& [words, state] : refusals) {
        if (text.contains(words))
            return state;
    }
    return {};
}

// The connections kept for the next window, by the URI they were made from.
QHash<QString, QString>& idleConnections()
{
    static QHash<QString, QString> idle;
    return idle;
}

// A connection that the failure leaves unusable: the server shut down or restarted, the socket broke, or a
// statement was lost with the old session.
bool connectionLost(const QSqlError& error, const QSqlDatabase& database)
{
    const QString state = error.nativeErrorCode();
    return !database.isOpen() || state.isEmpty() || state.startsWith(QLatin1String("08"))
           || state.startsWith(QLatin1String("57P")) || state == QLatin1String("26000");
}

// Searches compare folded text: letter case in every script and blanks around it left out, as the file's
// collation does. Final and other variant Greek letters fold to their plain forms.
const char* const foldFunction =
    "CREATE OR REPLACE FUNCTION velmora_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ "
    "SELECT translate(lower(btrim(t, ' ') COLLATE \"und-x-icu\"), 'ςϐϑϕϖϰϱϵ', 'σβθφπκρε') $$";
// The number a text's leading characters write, 0 when none: blanks, a sign, digits, a point and digits.
const char* const valFunction =
    "CREATE OR REPLACE FUNCTION velmora_val(t text) RETURNS numeric LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ "
    "SELECT CASE WHEN m ~ '[0-9]' THEN m::numeric ELSE 0 END "
    "FROM (SELECT substring(t from '^[ \t]*([+-]?[0-9]*(?:[.][0-9]*)?)') AS m) AS written $$";

QString createTable(const schema::Table& table)
{
    QStringList columns;
    for (const schema::Column& column : table.columns) {
        const char* type = column.storage == schema::Storage::Integer ? "bigint" : "text";
        columns.append(schema::quoted(column.name) + QLatin1Char(' ') + QLatin1String(type));
    }
    // Last, so that a plain INSERT of the register's columns leaves it to the server.
    columns.append(QStringLiteral("row_id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY"));
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(schema::quoted(table.name), columns.join(QLatin1String(", ")));
}

// Every search answers from an index on the very expression it compares.
QStringList createIndexes(const schema::Table& table)
{
    QStringList statements;
    for (const schema::Column& column : table.columns) {
        const QString name = schema::quoted(column.name);
        QString expression;
        if (column.kind == schema::Kind::Text)
            expression = QStringLiteral("velmora_fold(%1)").arg(name);
        else if (column.kind == schema::Kind::Number)
            expression =
                column.storage == schema::Storage::Integer ? name : QStringLiteral("velmora_val(%1)").arg(name);
        else
            continue;
        statements.append(
            QStringLiteral("CREATE INDEX %1 ON %2 ((%3))")
                .arg(schema::quoted(table.name + QLatin1Char('_') + column.name + QStringLiteral("_search")),
                     schema::quoted(table.name), expression));
    }
    return statements;
}

} // namespace

PostgresConnection::PostgresConnection(ServerAddress address, QString name, QString uri)
    : Connection(address.label(), std::move(name))
    , m_address(std::move(address))
    , m_uri(std::move(uri))
{}

PostgresConnection::~PostgresConnection()
{
    QHash<QString, QString>& idle = idleConnections();
    if (!m_lost && database().isOpen() && !idle.contains(m_uri)) {
        idle.insert(m_uri, name());
        keepOpen();
    }
}

std::unique_ptr<PostgresConnection> PostgresConnection::takeIdle(const ServerAddress& address, const QString& uri)
{
    const QString name = idleConnections().take(uri);
    if (name.isEmpty())
        return nullptr;
    std::unique_ptr<PostgresConnection> connection(new PostgresConnection(address, name, uri));
    // One round trip tells whether the server still knows it; if not, it goes, and a new one is made. A window's
    // bound on its statements goes with the window.
    QSqlQuery alive(connection->database());
    if (!alive.exec(QStringLiteral("RESET statement_timeout")))
        connection->m_lost = true;
    return connection->m_lost ? nullptr : std::move(connection);
}

Expected<std::unique_ptr<Connection>> PostgresConnection::open(const QString& uri)
{
    Expected<ServerAddress> address = ServerAddress::parse(uri);
    if (!address)
        return Status::failure(
            QStringLiteral("Cannot open the register on a server: %1.").arg(address.status().message()));
    if (std::unique_ptr<PostgresConnection> idle = takeIdle(address.value(), uri))
        return std::unique_ptr<Connection>(std::move(idle));
    std::unique_ptr<PostgresConnection> connection(new PostgresConnection(address.value(), nextName(), uri));
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection->name());
    if (!database.isValid())
        return Status::failure(QStringLiteral("Cannot open the register on \"%1\": the PostgreSQL driver for Qt is not "
                                              "installed (Debian package libqt6sql6-psql).")
                                   .arg(connection->path()));
    // Everything goes in the connect options, each value quoted; the host, database and user the driver would
    // add are left empty. Where the URI gives none, a vanished server is noticed, and of several hosts the one
    // that takes writes is found.
    ServerAddress given = connection->m_address;
    const auto byDefault = [&given](const QString& key, const QString& value) {
        if (!given.options.contains(key))
            given.options.insert(key, value);
    };
    const auto hosts = int(std::max<qsizetype>(1, given.hosts.size()));
    byDefault(QStringLiteral("connect_timeout"), QString::number(std::max(2, connectWaitSeconds / hosts))); // a host
    for (const auto& [key, value] : vanishedServer)
        byDefault(QString::fromLatin1(key), QString::fromLatin1(value));
    if (hosts > 1)
        byDefault(QStringLiteral("target_session_attrs"), QStringLiteral("read-write"));
    database.setConnectOptions(given.connectionString());
    if (Status made = connection->connect(QStringLiteral("Cannot open")); !made)
        return made;
    return std::unique_ptr<Connection>(std::move(connection));
}

Status PostgresConnection::connect(const QString& doing)
{
    QSqlDatabase db = database();
    db.close();
    if (!db.open()) {
        const QSqlError error = db.lastError();
        const QString state = error.nativeErrorCode();
        return worded(doing, reasonFor(state.isEmpty() ? stateOfRefusal(error.databaseText()) : state, false), error);
    }
    QSqlQuery session(db);
    if (!session.exec(QStringLiteral("SET lock_timeout = %1").arg(lockWaitMs)))
        return failure(doing, session.lastError());
    m_lost = false;
    return m_bounded ? boundEachStatement(doing) : Status();
}

Status PostgresConnection::boundEachStatement(const QString& doing)
{
    m_bounded = true;
    // A bound the URI or the server sets is theirs to keep.
    QSqlQuery bound(database());
    if (!bound.exec(QStringLiteral("SELECT set_config('statement_timeout', '%1', false) FROM pg_settings "
                                   "WHERE name = 'statement_timeout' AND source = 'default'")
                        .arg(statementWaitMs)))
        return failure(doing, bound.lastError());
    return {};
}

QString PostgresConnection::holdsExactly(const QString& column) const
{
    return QStringLiteral("%1 IS NOT DISTINCT FROM ?").arg(column);
}

QString PostgresConnection::sameValue(const QString& one, const QString& other) const
{
    return QStringLiteral("%1 IS NOT DISTINCT FROM %2").arg(one, other);
}

QString PostgresConnection::equalsText(const QString& text) const
{
    return QStringLiteral("velmora_fold(%1) = velmora_fold(?)").arg(text);
}

QString PostgresConnection::valOf(const QString& column) const
{
    return QStringLiteral("velmora_val(%1)").arg(column);
}

QString PostgresConnection::writtenAsDate(const QString& column) const
{
    // Quicker than a regular expression over a whole table: the shape, then only digits besides the dashes.
    return QStringLiteral("(%1 LIKE '____-__-__' AND translate(%1, '0123456789', '') = '--')").arg(column);
}

QStringList PostgresConnection::createTables(const QList<schema::Table>& tables) const
{
    QStringList statements{QString::fromUtf8(foldFunction), QString::fromUtf8(valFunction)};
    for (const schema::Table& table : tables)
        statements << createTable(table) << createIndexes(table);
    return statements;
}

QString PostgresConnection::listTables() const
{
    return QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = current_schema()");
}

QString PostgresConnection::describeTables() const
{
    return QStringLiteral("SELECT c.table_name, c.column_name, c.data_type FROM information_schema.columns c "
                          "JOIN information_schema.tables t USING (table_schema, table_name) "
                          "WHERE c.table_schema = current_schema() AND t.table_type = 'BASE TABLE' "
                          "ORDER BY c.table_name, c.ordinal_position");
}

qint64 PostgresConnection::insertedKey(QSqlQuery& query) const
{
    const qint64 key = query.next() ? query.value(0).toLongLong() : 0;
    query.finish();
    return key;
}

Expected<Connection::Rights> PostgresConnection::clerkRights(const QString& role, const QStringList& tables) const
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    const auto failed = [&] {
        return failure(QStringLiteral("Cannot list the rights for"), query.lastError());
    };
    query.prepare(QStringLiteral("SELECT quote_ident(?), current_schema() = 'public', quote_ident(current_schema()), "
                                 "quote_ident(?)"));
    query.bindValue(0, role);
    query.bindValue(1, history::tableName);
    if (!query.exec() || !query.next())
        return failed();
    const QString grantee = query.value(0).toString();
    const QString schemaName = query.value(2).toString();
    const QString prefix = query.value(1).toBool() ? QString() : schemaName + QLatin1Char('.');
    const QString historyTable = prefix + query.value(3).toString();
    QStringList quotedTables;
    QStringList sequences;
    for (const QString& table : tables) {
        query.prepare(QStringLiteral("SELECT quote_ident(?), quote_ident(s.relname) FROM pg_class s "
                                     "WHERE s.oid = pg_get_serial_sequence(quote_ident(?), 'row_id')::regclass"));
        query.bindValue(0, table);
        query.bindValue(1, table);
        if (!query.exec() || !query.next())
            return failed();
        quotedTables.append(prefix + query.value(0).toString());
        sequences.append(prefix + query.value(1).toString());
    }
    Rights rights{grantee, {}};
    if (!prefix.isEmpty())
        rights.statements.append(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2;").arg(schemaName, grantee));
    if (!tables.isEmpty()) {
        rights.statements.append(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %2;")
                                     .arg(quotedTables.join(QLatin1String(", ")), grantee));
        rights.statements.append(
            QStringLiteral("GRANT USAGE ON SEQUENCE %1 TO %2;").arg(sequences.join(QLatin1String(", ")), grantee));
    }
    // Reading only: the server writes each entry itself, so a clerk can neither add to the history nor rewrite it.
    rights.statements.append(QStringLiteral("GRANT SELECT ON %1 TO %2;").arg(historyTable, grantee));
    return rights;
}

Status PostgresConnection::checkTable(const schema::Table& table) const
{
    QSqlQuery info(database());
    info.setForwardOnly(true);
    // The catalogue answers at once, where information_schema takes tens of milliseconds.
    if (!info.exec(QStringLiteral("SELECT attname FROM pg_attribute WHERE attrelid = to_regclass('%1') AND attnum > 0 "
                                  "AND NOT attisdropped ORDER BY attnum")
                       .arg(schema::quoted(table.name))))
        return failure(QStringLiteral("Cannot open"), info.lastError());
    QStringList present;
    while (info.next())
        present.append(info.value(0).toString());
    if (Status checked = checkColumns(table, present, {}); !checked)
        return checked;
    if (!present.contains(rowKey()))
        return Status::failure(QStringLiteral("Cannot open the register \"%1\": the table \"%2\" has no column \"%3\", "
                                              "which keeps the order of its records.")
                                   .arg(path(), table.name, rowKey()));
    return {};
}

Status PostgresConnection::checkReachable(const QString& doing)
{
    if (!m_lost && database().isOpen())
        return {};
    if (Status made = connect(doing); !made)
        return made;
    m_reconnected = true;
    return {};
}

Status PostgresConnection::failure(const QString& doing, const QSqlError& error) const
{
    if (connectionLost(error, database())) {
        m_lost = true;
        return worded(doing, QStringLiteral("the connection to the server was lost; the next action connects again"),
                      error);
    }
    return worded(doing, reasonFor(error.nativeErrorCode(), writing()), error);
}

Status PostgresConnection::worded(const QString& doing, const QString& reason, const QSqlError& error) const
{
    const QString engine = (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
    if (reason.isEmpty())
        return Status::failure(QStringLiteral("%1 the register on \"%2\": %3.").arg(doing, path(), engine));
    return Status::failure(QStringLiteral("%1 the register on \"%2\": %3 (%4).").arg(doing, path(), reason, engine));
}
