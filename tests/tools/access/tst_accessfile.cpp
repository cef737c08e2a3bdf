#include "accesssource.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// Access-format files read through libmdb: formats, tables, column types and every value as it is stored.
class TestAccessFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dayCountsAreFromTheEndOf1899();
    void listsFormatAndUserTables_data();
    void listsFormatAndUserTables();
    void describesEveryColumnType_data();
    void describesEveryColumnType();
    void readsEveryValueInStoredOrder_data();
    void readsEveryValueInStoredOrder();
    void readsDecimalsExactly();
    void readsALongMemoWhole();
    void stopsAtTheFirstRefusedRow();
    void refusesAnUnknownTable();
    void refusesWhatIsNoAccessFile_data();
    void refusesWhatIsNoAccessFile();
    void refusesAnUnknownCodePage();
    void refusesATruncatedDatabase_data();
    void refusesATruncatedDatabase();

private:
    static QString fixtures();
    static std::unique_ptr<jet::Source> openFixture(const QString& name);
    static QList<jet::Row> rows(const jet::Source& source, const QString& table);
    static void compareRow(const jet::Row& actual, const jet::Row& expected);
};

QString TestAccessFile::fixtures()
{
    const QString shared = qEnvironmentVariable("VELMORA_SHARED");
    const QString folder = shared + QStringLiteral("/fixtures/access");
    return !shared.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

#define REQUIRE_FIXTURES()                                                                                             \
    if (fixtures().isEmpty())                                                                                          \
    QSKIP("The Access sample files are not here: VELMORA_SHARED must name the shared folder with fixtures/access.")

std::unique_ptr<jet::Source> TestAccessFile::openFixture(const QString& name)
{
    auto opened = jet::open(fixtures() + QLatin1Char('/') + name);
    if (!opened) {
        qWarning().noquote() << opened.status().message();
        return {};
    }
    return std::move(opened.value());
}

QList<jet::Row> TestAccessFile::rows(const jet::Source& source, const QString& table)
{
    QList<jet::Row> result;
    const Status status = source.readRows(table, [&](const jet::Row& row) {
        result.append(row);
        return Status();
    });
    if (!status)
        qWarning().noquote() << status.message();
    return result;
}

void TestAccessFile::compareRow(const jet::Row& actual, const jet::Row& expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(actual[i].typeId(), expected[i].typeId());
        QCOMPARE(actual[i], expected[i]);
    }
}

void TestAccessFile::dayCountsAreFromTheEndOf1899()
{
    QCOMPARE(QDate(1899, 12, 30).daysTo(QDate(1974, 9, 21)), 27293);
    QCOMPARE(QDate(1899, 12, 30).daysTo(QDate(1981, 12, 12)), 29932);
}

void TestAccessFile::listsFormatAndUserTables_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QList<qint64>>("rows");

    const QStringList types = {"Table1", "Table2", "Table3", "Table4"};
    QTest::newRow("jet3-types") << "jet3-types.mdb"
                                << "Jet 3" << types << QList<qint64>{2, 0, 0, 0};
    QTest::newRow("jet4-types") << "jet4-types.mdb"
                                << "Jet 4" << types << QList<qint64>{2, 0, 0, 0};
    QTest::newRow("ace12-types") << "ace12-types.accdb"
                                 << "ACE 12" << types << QList<qint64>{2, 0, 0, 0};
    QTest::newRow("jet4-numeric") << "jet4-numeric.mdb"
                                  << "Jet 4" << QStringList{"test"} << QList<qint64>{1};
    QTest::newRow("jet4-empty") << "jet4-empty.mdb"
                                << "Jet 4" << QStringList() << QList<qint64>();
    QTest::newRow("ace-longtext") << "ace-longtext.accdb"
                                  << "ACE 12" << QStringList{"Table1"} << QList<qint64>{1};
}

void TestAccessFile::listsFormatAndUserTables()
{
    REQUIRE_FIXTURES();
    QFETCH(QString, file);
    QFETCH(QString, format);
    QFETCH(QStringList, tables);
    QFETCH(QList<qint64>, rows);

    const auto source = openFixture(file);
    QVERIFY(source);
    QCOMPARE(source->format(), format);
    QStringList names;
    QList<qint64> counts;
    for (const jet::Table& table : source->tables()) {
        names.append(table.name);
        counts.append(table.rows);
    }
    QCOMPARE(names, tables);
    QCOMPARE(counts, rows);
}

void TestAccessFile::describesEveryColumnType_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("jet3") << "jet3-types.mdb";
    QTest::newRow("jet4") << "jet4-types.mdb";
    QTest::newRow("ace12") << "ace12-types.accdb";
}

void TestAccessFile::describesEveryColumnType()
{
    REQUIRE_FIXTURES();
    QFETCH(QString, file);
    const auto source = openFixture(file);
    QVERIFY(source);
    const QList<jet::Table> tables = source->tables();
    QVERIFY(!tables.isEmpty());
    const jet::Table& table = tables.first();
    QCOMPARE(table.name, "Table1");

    using jet::Type;
    const QList<std::tuple<QString, Type, QString>> expected = {
        {"A", Type::Text, "Text"},
        {"B", Type::Text, "Text"},
        {"C", Type::Byte, "Byte"},
        {"D", Type::Integer, "Integer"},
        {"E", Type::LongInteger, "Long Integer"},
        {"F", Type::Double, "Double"},
        {"G", Type::DateTime, "Date/Time"},
        {"H", Type::Currency, "Currency"},
        {"I", Type::Boolean, "Yes/No"},
    };
    QCOMPARE(table.columns.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(table.columns[i].name, std::get<0>(expected[i]));
        QCOMPARE(table.columns[i].type, std::get<1>(expected[i]));
        QCOMPARE(table.columns[i].typeName, std::get<2>(expected[i]));
    }
}

void TestAccessFile::readsEveryValueInStoredOrder_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("fullRowFirst");
    QTest::newRow("jet3") << "jet3-types.mdb" << false;
    QTest::newRow("jet4") << "jet4-types.mdb" << true;
    QTest::newRow("ace12") << "ace12-types.accdb" << false;
}

void TestAccessFile::readsEveryValueInStoredOrder()
{
    REQUIRE_FIXTURES();
    QFETCH(QString, file);
    QFETCH(bool, fullRowFirst);
    const auto source = openFixture(file);
    QVERIFY(source);

    const jet::Row full = {
        QString("abcdefg"), QString("hijklmnop"), qlonglong(2), qlonglong(222), qlonglong(333333333), 444.555, 27293.0,
        QString("3.5000"),  qlonglong(1)};
    const jet::Row small = {QString("a"), QString("b"), qlonglong(0),      qlonglong(0), qlonglong(0),
                            0.0,          29932.0,      QString("0.0000"), qlonglong(0)};
    const QList<jet::Row> read = rows(*source, "Table1");
    QCOMPARE(read.size(), 2);
    compareRow(read[0], fullRowFirst ? full : small);
    compareRow(read[1], fullRowFirst ? small : full);

    QCOMPARE(rows(*source, "Table2").size(), 0);
}

void TestAccessFile::readsDecimalsExactly()
{
    REQUIRE_FIXTURES();
    const auto source = openFixture("jet4-numeric.mdb");
    QVERIFY(source);
    const jet::Table table = source->tables().value(0);
    QCOMPARE(table.columns.size(), 7);
    QCOMPARE(table.columns[0].name, "col1");
    for (qsizetype i = 1; i < table.columns.size(); ++i) {
        QCOMPARE(table.columns[i].name, QStringLiteral("col%1").arg(i + 1));
        QCOMPARE(table.columns[i].type, jet::Type::Decimal);
        QCOMPARE(table.columns[i].typeName, "Decimal");
    }
    const QList<jet::Row> read = rows(*source, "test");
    QCOMPARE(read.size(), 1);
    compareRow(read[0], {QString("some data"), QString("1"), QString("0"), QString("0"), QString("4"), QString("-1"),
                         QString("1")});
}

void TestAccessFile::readsALongMemoWhole()
{
    REQUIRE_FIXTURES();
    const auto source = openFixture("ace-longtext.accdb");
    QVERIFY(source);
    const jet::Table table = source->tables().value(0);
    QCOMPARE(table.columns.size(), 2);
    QCOMPARE(table.columns[0].type, jet::Type::LongInteger);
    QCOMPARE(table.columns[1].name, "LongText");
    QCOMPARE(table.columns[1].type, jet::Type::Memo);
    QCOMPARE(table.columns[1].typeName, "Memo");

    const QList<jet::Row> read = rows(*source, "Table1");
    QCOMPARE(read.size(), 1);
    QCOMPARE(read[0].size(), 2);
    QCOMPARE(read[0][0], QVariant(qlonglong(1)));
    QCOMPARE(read[0][1].typeId(), QMetaType::QString);
    const QString memo = read[0][1].toString();
    QCOMPARE(memo.size(), 5000);
    QVERIFY(memo.startsWith("Lorem ipsum dolor sit amet, consetetur s"));
    QVERIFY(memo.endsWith("iusto odio dignissim"));
}

void TestAccessFile::stopsAtTheFirstRefusedRow()
{
    REQUIRE_FIXTURES();
    const auto source = openFixture("jet4-types.mdb");
    QVERIFY(source);
    int calls = 0;
    const Status status = source->readRows("Table1", [&](const jet::Row&) {
        ++calls;
        return Status::failure("no more");
    });
    QVERIFY(!status);
    QCOMPARE(status.message(), "no more");
    QCOMPARE(calls, 1);
}

void TestAccessFile::refusesAnUnknownTable()
{
    REQUIRE_FIXTURES();
    const auto source = openFixture("jet4-types.mdb");
    QVERIFY(source);
    const Status status = source->readRows("MSysObjects", [](const jet::Row&) { return Status(); });
    QVERIFY(!status);
    QVERIFY2(status.message().contains("MSysObjects"), qPrintable(status.message()));
}

void TestAccessFile::refusesWhatIsNoAccessFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing") << "missing.mdb" << QByteArray() << "there is no such file";
    QTest::newRow("text") << "notes.mdb" << QByteArray("Shareholders of 1998\nno database here\n")
                          << "it is not an Access database";
    QTest::newRow("empty") << "empty.mdb" << QByteArray("") << "it is empty";
    QTest::newRow("sqlite") << "stock.mdb" << QByteArray() << "it is not an Access database";
    QByteArray cut(100, '\0');
    cut.replace(4, 15, "Standard Jet DB");
    QTest::newRow("cut short") << "cut.mdb" << cut << "it is cut short";
}

void TestAccessFile::refusesWhatIsNoAccessFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(name);
    if (name == "stock.mdb") {
        {
            QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "access-refusal");
            database.setDatabaseName(path);
            QVERIFY(database.open());
            QVERIFY(QSqlQuery(database).exec("CREATE TABLE stockholder (id INTEGER)"));
        }
        QSqlDatabase::removeDatabase("access-refusal");
    } else if (name != "missing.mdb") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }

    const auto opened = jet::open(path);
    QVERIFY(!opened);
    QCOMPARE(opened.status().message(), QStringLiteral("Cannot read the Access file \"%1\": %2.").arg(path, reason));
}

void TestAccessFile::refusesAnUnknownCodePage()
{
    REQUIRE_FIXTURES();
    const QString path = fixtures() + "/jet3-types.mdb";
    const auto opened = jet::open(path, "NO-SUCH-CODEPAGE");
    QVERIFY(!opened);
    QVERIFY2(opened.status().message().contains(path), qPrintable(opened.status().message()));
    QVERIFY(!qEnvironmentVariableIsSet("MDB_JET3_CHARSET"));

    const auto latin = jet::open(path, "CP1252");
    QVERIFY(latin);
    QCOMPARE(rows(*latin.value(), "Table1").value(1).value(0), QVariant(QString("abcdefg")));
    QVERIFY(!qEnvironmentVariableIsSet("MDB_JET3_CHARSET"));
}

void TestAccessFile::refusesATruncatedDatabase_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("reason");
    QTest::newRow("part of a page") << 20000 << "it is cut short"; // libmdb would loop on it
    QTest::newRow("whole pages") << 20480 << "its list of tables cannot be read";
}

void TestAccessFile::refusesATruncatedDatabase()
{
    QFETCH(int, size);
    QFETCH(QString, reason);
    REQUIRE_FIXTURES();
    QFile whole(fixtures() + "/jet4-types.mdb");
    QVERIFY(whole.open(QIODevice::ReadOnly));
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath("truncated.mdb");
    QFile truncated(path);
    QVERIFY(truncated.open(QIODevice::WriteOnly));
    QCOMPARE(truncated.write(whole.read(size)), size);
    truncated.close();

    const auto opened = jet::open(path);
    QVERIFY(!opened);
    QCOMPARE(opened.status().message(), QStringLiteral("Cannot read the Access file \"%1\": %2.").arg(path, reason));
}

QTEST_GUILESS_MAIN(TestAccessFile)
#include "tst_accessfile.moc"
