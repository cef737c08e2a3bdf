#include "csvexport.h"
#include "demoregister.h"
#include "schema.h"
#include "tempregister.h"

#include <QStringDecoder>
#include <QtTest>

Q_DECLARE_METATYPE(Engine)

// The register written out as CSV files, read back with a reader of the test's own.
class TestCsvExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void roundTripsTheDemoRegister();
    void emptyRegisterGivesHeaderRowsOnly();
    void awkwardTextSurvives_data();
    void awkwardTextSurvives();
    void integersAreDigits();
    void refusesToOverwrite_data();
    void refusesToOverwrite();
    void failureLeavesNoFileWritten();
    void refusesWhatIsNotARegister_data();
    void refusesWhatIsNotARegister();
    void refusesAMissingRegisterAndMakesTheFolder();
};

namespace {

// A strict RFC 4180 reader: every record ends in CRLF, quotes only round whole fields. An unquoted empty field
// reads as NULL (an invalid QVariant), any other field as text.
bool readCsv(const QByteArray& bytes, QList<QVariantList>& records, QString& error)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        error = QStringLiteral("not UTF-8");
        return false;
    }
    const qsizetype n = text.size();
    QVariantList record;
    qsizetype i = 0;
    while (i < n) {
        if (text[i] == u'"') {
            QString field;
            for (++i;; ++i) {
                if (i == n) {
                    error = QStringLiteral("a quote is not closed");
                    return false;
                }
                if (text[i] == u'"' && (i + 1 == n || text[i + 1] != u'"'))
                    break;
                if (text[i] == u'"')
                    ++i;
                field += text[i];
            }
            ++i;
            record.append(field);
        } else {
            const qsizetype start = i;
            for (; i < n && text[i] != u',' && text[i] != u'\r' && text[i] != u'\n'; ++i) {
                if (text[i] == u'"') {
                    error = QStringLiteral("a quote inside an unquoted field at %1").arg(i);
                    return false;
                }
            }
            record.append(i == start ? QVariant() : QVariant(text.mid(start, i - start)));
        }
        if (i < n && text[i] == u',') {
            ++i;
        } else if (QStringView(text).mid(i, 2) == u"\r\n") {
            records.append(record);
            record.clear();
            i += 2;
        } else {
            error = QStringLiteral("a field ends in something other than a comma or CRLF at %1").arg(i);
            return false;
        }
    }
    if (!record.isEmpty()) {
        error = QStringLiteral("the last record has no CRLF");
        return false;
    }
    return true;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList entries(const QString& directory)
{
    return QDir(directory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList columnNames(const schema::Table& table)
{
    QStringList names;
    for (const schema::Column& column : table.columns)
        names.append(column.name);
    return names;
}

QByteArray headerLine(const schema::Table& table)
{
    return columnNames(table).join(u',').toUtf8() + "\r\n";
}

// Every row of a table in rowid order, through a connection of the test's own; integers as text, NULL invalid.
QList<QVariantList> storedRows(const QString& path, const schema::Table& table)
{
    QList<QVariantList> rows =
        TempRegister::rowsIn(path, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table.name));
    for (QVariantList& row : rows) {
        for (QVariant& value : row) {
            if (value.isValid())
                value = value.toString();
        }
    }
    return rows;
}

} // namespace

void TestCsvExport::roundTripsTheDemoRegister()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    QVERIFY(registerfile::create(path, demoregister::fill).ok());
    const Status exported = csvexport::exportRegister(path, directory.path(), false, true); // raw, to compare
    QVERIFY2(exported.ok(), qPrintable(exported.message()));

    int nulls = 0;
    for (const schema::Table& table : schema::tables()) {
        const QByteArray bytes = contents(directory.filePath(table.name + ".csv"));
        QList<QVariantList> records;
        QString error;
        QVERIFY2(readCsv(bytes, records, error), qPrintable(table.name + ": " + error));
        QVERIFY(!records.isEmpty());
        QCOMPARE(records.takeFirst(), QVariant(columnNames(table)).toList());
        const QList<QVariantList> expected = storedRows(path, table);
        QVERIFY(expected.size() >= 8);
        QCOMPARE(records, expected);
        for (const QVariantList& row : expected)
            nulls += int(row.count(QVariant()));
    }
    QVERIFY(nulls > 0); // the demo has fields with no value, so NULL was tried too
}

void TestCsvExport::emptyRegisterGivesHeaderRowsOnly()
{
    TempRegister empty;
    QVERIFY2(empty.isValid(), qPrintable(empty.error()));
    QTemporaryDir out;
    QVERIFY(csvexport::exportRegister(empty.path(), out.path(), false).ok());
    QCOMPARE(entries(out.path()), QStringList({"stock_data.csv", "stockholder.csv", "transfer_data.csv"}));
    for (const schema::Table& table : schema::tables())
        QCOMPARE(contents(out.filePath(table.name + ".csv")), headerLine(table));
    QCOMPARE(contents(out.filePath("transfer_data.csv")),
             "stock_no,transferred_date,before_holder,new_holder,item_code\r\n");
}

void TestCsvExport::awkwardTextSurvives_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("field"); // exactly as written in the line
    const QString longText = QStringLiteral("ab,\"c\n").repeated(833) + "xx";
    QTest::newRow("plain") << QVariant("Kwame Mensah") << QByteArray("Kwame Mensah");
    QTest::newRow("comma") << QVariant("Brenmoor, Ltd") << QByteArray("\"Brenmoor, Ltd\"");
    QTest::newRow("quotes") << QVariant("a \"b\" c") << QByteArray("\"a \"\"b\"\" c\"");
    QTest::newRow("only a quote") << QVariant("\"") << QByteArray("\"\"\"\"");
    QTest::newRow("CR") << QVariant("a\rb") << QByteArray("\"a\rb\"");
    QTest::newRow("LF") << QVariant("a\nb") << QByteArray("\"a\nb\"");
    QTest::newRow("CRLF") << QVariant("a\r\nb") << QByteArray("\"a\r\nb\"");
    QTest::newRow("leading blank") << QVariant(" a") << QByteArray("\" a\"");
    QTest::newRow("trailing tab") << QVariant("a\t") << QByteArray("\"a\t\"");
    QTest::newRow("inner blank and tab") << QVariant("a b\tc") << QByteArray("a b\tc");
    QTest::newRow("empty text") << QVariant(QStringLiteral("")) << QByteArray("\"\"");
    QTest::newRow("NULL") << QVariant() << QByteArray("");
    QTest::newRow("Chinese") << QVariant("王小明") << QByteArray("王小明");
    QTest::newRow("Cyrillic") << QVariant("Наталья Петрова") << QByteArray("Наталья Петрова");
    QTest::newRow("emoji") << QVariant("📈 up") << QByteArray("📈 up");
    // What a spreadsheet would run as a formula is given an apostrophe; written raw it reads back as stored.
    QTest::newRow("formula") << QVariant("=1+1") << QByteArray("'=1+1");
    QTest::newRow("plus") << QVariant("+44 20 7946 0000") << QByteArray("'+44 20 7946 0000");
    QTest::newRow("minus") << QVariant("-5") << QByteArray("'-5");
    QTest::newRow("at") << QVariant("@SUM(A1)") << QByteArray("'@SUM(A1)");
    QTest::newRow("leading tab") << QVariant("\t=1") << QByteArray("'\t=1");
    QTest::newRow("leading CR") << QVariant("\r=1") << QByteArray("\"'\r=1\"");
    QTest::newRow("5000 characters") << QVariant(longText)
                                     << "\"" + QStringLiteral("ab,\"\"c\n").repeated(833).toUtf8() + "xx\"";
}

void TestCsvExport::awkwardTextSurvives()
{
    QFETCH(QVariant, value);
    QFETCH(QByteArray, field);
    TempRegister stored;
    QVERIFY2(stored.isValid(), qPrintable(stored.error()));
    QCOMPARE(stored.exec("INSERT INTO stockholder (stockholder_no, stockholder_name) VALUES (7, ?)", {value}), "");
    QCOMPARE(stored.rows("SELECT typeof(stockholder_name) FROM stockholder")[0][0].toString(),
             value.isValid() ? "text" : "null");
    QTemporaryDir out;
    QVERIFY(csvexport::exportRegister(stored.path(), out.path(), false).ok());

    const schema::Table& holders = *schema::table(u"stockholder");
    const QByteArray bytes = contents(out.filePath("stockholder.csv"));
    QCOMPARE(bytes, headerLine(holders) + "7,," + field + ",,,,,,,,\r\n");
    QTemporaryDir raw;
    QVERIFY(csvexport::exportRegister(stored.path(), raw.path(), false, true).ok());
    QList<QVariantList> records;
    QString error;
    QVERIFY2(readCsv(contents(raw.filePath("stockholder.csv")), records, error), qPrintable(error));
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[1][2], value.isValid() ? QVariant(value.toString()) : QVariant());
}

void TestCsvExport::integersAreDigits()
{
    TempRegister stored;
    QCOMPARE(stored.exec("INSERT INTO stock_data VALUES ('SC-1', 0, '2001-02-03', NULL, -7, 12, ?)",
                         {QVariant(qlonglong(9007199254740993))}),
             "");
    // Numbers, and a number a number column keeps as text, are no formulas; other text is.
    QCOMPARE(stored.exec("INSERT INTO stock_data VALUES ('-SC', NULL, NULL, '@x', '=1+1', CAST('-12.5' AS BLOB), -5)"),
             "");
    QTemporaryDir out;
    QVERIFY(csvexport::exportRegister(stored.path(), out.path(), false).ok());
    QCOMPARE(contents(out.filePath("stock_data.csv")).mid(headerLine(*schema::table(u"stock_data")).size()),
             "SC-1,0,2001-02-03,,-7,12,9007199254740993\r\n'-SC,,,'@x,'=1+1,-12.5,-5\r\n");
}

void TestCsvExport::refusesToOverwrite_data()
{
    QTest::addColumn<QString>("existing");
    for (const schema::Table& table : schema::tables())
        QTest::newRow(qPrintable(table.name)) << table.name + ".csv";
}

void TestCsvExport::refusesToOverwrite()
{
    QFETCH(QString, existing);
    TempRegister stored;
    QTemporaryDir out;
    QFile file(out.filePath(existing));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("the clerk's own file\n");
    file.close();

    const Status refused = csvexport::exportRegister(stored.path(), out.path(), false);
    QVERIFY(!refused.ok());
    QVERIFY2(refused.message().contains(out.filePath(existing)) && refused.message().contains("--force")
                 && refused.message().contains(stored.path()),
             qPrintable(refused.message()));
    QCOMPARE(entries(out.path()), QStringList{existing});
    QCOMPARE(contents(out.filePath(existing)), "the clerk's own file\n");

    QVERIFY(csvexport::exportRegister(stored.path(), out.path(), true).ok());
    QCOMPARE(entries(out.path()).size(), 3);
    QCOMPARE(contents(out.filePath(existing)), headerLine(*schema::table(existing.chopped(4))));
}

void TestCsvExport::failureLeavesNoFileWritten()
{
    // The last file cannot be written (a folder stands in its place): the first, complete by then, is kept back.
    TempRegister stored;
    QTemporaryDir out;
    QFile old(out.filePath("stock_data.csv"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QVERIFY(QDir(out.path()).mkdir("transfer_data.csv"));

    const Status failed = csvexport::exportRegister(stored.path(), out.path(), true);
    QVERIFY(!failed.ok());
    QVERIFY2(failed.message().contains(out.filePath("transfer_data.csv")), qPrintable(failed.message()));
    QCOMPARE(entries(out.path()), QStringList({"stock_data.csv", "transfer_data.csv"}));
    QCOMPARE(contents(out.filePath("stock_data.csv")), "old");
}

void TestCsvExport::refusesWhatIsNotARegister_data()
{
    QTest::addColumn<QByteArray>("bytes");  // the file's contents, when it is not made a register
    QTest::addColumn<QString>("statement"); // else run on a fresh register
    QTest::addColumn<QString>("reason");
    QTest::addColumn<Engine>("engine");
    QByteArray jet("\x00\x01\x00\x00Standard Jet DB\x00", 20);
    jet.resize(2048, '\0');
    QTest::newRow("Access") << jet << ""
                            << "Access-format" << Engine::File;
    QTest::newRow("text") << QByteArray("stock_no,stock_type\r\n") << ""
                          << "not an SQLite database" << Engine::File;
    QTest::newRow("empty file") << QByteArray("") << ""
                                << "empty" << Engine::File;
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* where = engine == Engine::File ? "file" : "server";
        QTest::addRow("%s, table missing", where) << QByteArray() << "DROP TABLE transfer_data"
                                                  << "the table \"transfer_data\" is missing" << engine;
        QTest::addRow("%s, column missing", where)
            << QByteArray() << "ALTER TABLE stockholder DROP COLUMN total_share"
            << "the table \"stockholder\" has no column \"total_share\"" << engine;
    }
}

void TestCsvExport::refusesWhatIsNotARegister()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, statement);
    QFETCH(QString, reason);
    QFETCH(Engine, engine);
    TempRegister stored(engine);
    VELMORA_REQUIRE(stored);
    if (statement.isEmpty()) {
        QFile file(stored.path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    } else {
        QCOMPARE(stored.exec(statement), "");
    }
    QTemporaryDir out;
    const Status refused = csvexport::exportRegister(stored.path(), out.path(), true);
    QVERIFY(!refused.ok());
    QVERIFY2(refused.message().startsWith("Cannot export the register \"" + Connection::pathOf(stored.path()) + "\": ")
                 && refused.message().contains(reason),
             qPrintable(refused.message()));
    QVERIFY(entries(out.path()).isEmpty());
}

void TestCsvExport::refusesAMissingRegisterAndMakesTheFolder()
{
    QTemporaryDir directory;
    const QString missing = directory.filePath("stock.mdb");
    const QString newFolder = directory.filePath("new/folder");
    const Status noRegister = csvexport::exportRegister(missing, newFolder, false);
    QVERIFY2(!noRegister.ok() && noRegister.message().contains(missing), qPrintable(noRegister.message()));
    QCOMPARE(entries(directory.path()), QStringList()); // neither the register, the folder nor any CSV made

    TempRegister stored;
    const Status exported = csvexport::exportRegister(stored.path(), newFolder, false);
    QVERIFY2(exported.ok(), qPrintable(exported.message()));
    QCOMPARE(entries(newFolder), QStringList({"stock_data.csv", "stockholder.csv", "transfer_data.csv"}));
}

QTEST_GUILESS_MAIN(TestCsvExport)
#include "tst_csvexport.moc"
