#pragma once

#include "registerfile.h"
#include "tempregister.h"

#include <QProcess>
#include <QtTest>

// velmora-register run as the clerk would run it, and what the tests of its command families share.
namespace tooltest {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

inline Run run(const QStringList& arguments, const QString& workingDirectory = QString())
{
    QProcess tool;
    tool.setWorkingDirectory(workingDirectory);
    tool.start(qEnvironmentVariable("VELMORA_REGISTER_TOOL"), arguments);
    if (!tool.waitForFinished(20000))
        return {};
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAllStandardOutput()), QString::fromUtf8(tool.readAllStandardError())};
}

inline QList<QVariantList> rows(const QString& path, const QString& statement)
{
    return TempRegister::rowsIn(path, statement);
}

inline QString samples()
{
    return qEnvironmentVariable("VELMORA_SHARED") + QStringLiteral("/fixtures/access/");
}

inline void write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

inline QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whatever --force says, nothing is written over the register read, a journal file of it, or a link to either.
inline const QString beingRead = QStringLiteral(": it is the register being read");

// A table of refusals, each row read by refuses(): the command line, where {d} is a folder of the test's own, {s} a
// server database with no tables and {r} one holding a register with one record; "in" a file laid there first; "kept"
// one that must stay as it is; and what the message names.
inline void refusalColumns()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("named");
}

// Each refusal names what it refused, ends with status 1, and leaves every file and server table as it was.
inline void refuses()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, in);
    QFETCH(QString, kept);
    QFETCH(QString, named);
    if ((arguments.join(' ').contains(samples()) || in.startsWith("access")) && !QFile::exists(samples()))
        QSKIP("the sample Access files are not here (../shared/fixtures/access)");
    const QString line = arguments.join(' ');
    const bool onServer = line.contains("{s}") || line.contains("{r}");
    TempRegister server(onServer ? Engine::Server : Engine::File, line.contains("{r}"));
    if (onServer)
        VELMORA_REQUIRE(server);
    QUrl uri(server.path());
    uri.setUserName("postgres");
    uri.setPassword("s3cret"); // which no message may show
    QTemporaryDir directory;
    const auto here = [&](QString text) {
        return text.replace("{d}", directory.path()).replace("{s}", uri.toString()).replace("{r}", uri.toString());
    };
    if (in == "text")
        write(directory.filePath("old.mdb"), "stock_no,stock_type\n");
    else if (in.startsWith("register") || in == "bytes" || in == "damaged" || in == "over a register without a history")
        QVERIFY(registerfile::create(directory.filePath("old.mdb")).ok());
    else if (in.startsWith("access"))
        QVERIFY(QFile::copy(samples() + "jet4-types.mdb", directory.filePath("old.mdb")));
    if (const qsizetype as = in.indexOf(", linked as "); as >= 0)
        QVERIFY(QFile::link(directory.filePath("old.mdb"), directory.filePath(in.mid(as + 12))));
    if (in == "over a register") { // two registers of 33 changes each, sealed apart
        for (const QString& made : {directory.filePath("old.mdb"), here(kept)})
            QCOMPARE(run({"init", "--demo", made}).status, 0);
    }
    if (in == "register without velmora_company")
        rows(directory.filePath("old.mdb"), "DROP TABLE velmora_company");
    if (in == "over a register without a history") {
        QVERIFY(registerfile::create(here(kept)).ok());
        rows(here(kept), "DROP TABLE velmora_history");
        rows(here(kept), "INSERT INTO stockholder (stockholder_no) VALUES (1), (2)");
    }
    if (in == "altered") {
        QCOMPARE(run({"init", "--demo", directory.filePath("old.mdb")}).status, 0);
        rows(directory.filePath("old.mdb"), "UPDATE velmora_history SET clerk = 'someone' WHERE seq = 3");
    }
    if (in == "damaged") {
        rows(directory.filePath("old.mdb"), "CREATE TABLE notes (note TEXT)");
        rows(directory.filePath("old.mdb"), "INSERT INTO notes WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                            "FROM n WHERE i < 100) SELECT printf('%0500d', i) FROM n");
        QFile file(directory.filePath("old.mdb")); // its last page, one of the notes
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() - 4096));
        file.write(QByteArray(4096, char(0x7f)));
    }
    if (in == "bytes")
        rows(directory.filePath("old.mdb"),
             "INSERT INTO stock_data (stock_no, stock_qty) VALUES ('SC-1', 5), ('SC-2', CAST('12.50' AS BLOB))");
    if (line.contains("{r}"))
        QCOMPARE(server.exec("INSERT INTO stockholder (stockholder_no) VALUES (1)"), "");
    // Each table on the server with its row count.
    const auto held = [&] {
        return server.rows("SELECT table_name, query_to_xml('SELECT count(*) FROM ' || table_name, false, true, '')"
                           "::text FROM information_schema.tables WHERE table_schema = current_schema() ORDER BY 1");
    };
    const QList<QVariantList> heldBefore = onServer ? held() : QList<QVariantList>();
    if (!kept.isEmpty() && !QFile::exists(here(kept)))
        write(here(kept), "the clerk's own");
    const QByteArray keptBefore = kept.isEmpty() ? QByteArray() : contentOf(here(kept));
    const QStringList before = QDir(directory.path()).entryList(QDir::Files | QDir::Hidden);

    for (QString& argument : arguments)
        argument = here(argument);
    const Run refused = run(arguments);
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(here(named)) && refused.err.count('\n') == 1 && !refused.err.contains("s3cret"),
             qPrintable(refused.err));
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden), before);
    if (onServer)
        QCOMPARE(held(), heldBefore);
    if (!kept.isEmpty())
        QCOMPARE(contentOf(here(kept)), keptBefore);
}

} // namespace tooltest
