#include "importer.h"
#include "schema.h"
#include "tempregister.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

using jet::Type;

namespace {

// An Access file held in memory: tables with typed columns and rows, and a row after which reading fails.
class FakeSource final : public jet::Source {
public:
    struct FakeTable {
        jet::Table table;
        QList<jet::Row> rows;
    };

    QString format() const override { return QStringLiteral("Jet 4"); }

    QList<jet::Table> tables() const override
    {
        QList<jet::Table> all;
        for (const FakeTable& fake : m_tables)
            all.append(fake.table);
        return all;
    }

    Status readRows(const QString& name, const std::function<Status(const jet::Row&)>& take) const override
    {
        for (const FakeTable& fake : m_tables) {
            if (fake.table.name != name)
                continue;
            for (qsizetype i = 0; i < fake.rows.size(); ++i) {
                if (name == failIn && i == failAt)
                    return Status::failure(QStringLiteral("the disk could not be read"));
                if (Status taken = take(fake.rows[i]); !taken)
                    return taken;
            }
        }
        return {};
    }

    void add(const QString& name, const QList<std::pair<QString, Type>>& columns, const QList<jet::Row>& rows)
    {
        FakeTable fake{{name, {}, rows.size()}, rows};
        for (const auto& [column, type] : columns)
            fake.table.columns.append({column, type, QString()});
        m_tables.append(fake);
    }

    // This source with one table left out.
    FakeSource without(const QString& name) const
    {
        FakeSource copy;
        for (const FakeTable& fake : m_tables) {
            if (fake.table.name != name)
                copy.m_tables.append(fake);
        }
        return copy;
    }

    QString failIn;
    qsizetype failAt = -1;

private:
    QList<FakeTable> m_tables;
};

double dayCount(int year, int month, int day)
{
    return double(QDate(1899, 12, 30).daysTo(QDate(year, month, day)));
}

// The three register tables as an earlier register would hold them, one row each.
FakeSource aRegister()
{
    FakeSource source;
    source.add("Stock_Data",
               {{"stock_no", Type::Text},
                {"stock_type", Type::Byte},
                {"publish_date", Type::DateTime},
                {"item_code", Type::Text},
                {"original_holder", Type::LongInteger},
                {"present_holder", Type::LongInteger},
                {"stock_qty", Type::LongInteger}},
               {{"SC-1", 1LL, dayCount(1998, 4, 1), "ORD", 1LL, 2LL, 1000LL}});
    source.add("STOCKHOLDER",
               {{"stockholder_no", Type::LongInteger},
                {"character", Type::Byte},
                {"stockholder_name", Type::Text},
                {"gender", Type::Byte},
                {"birth_date", Type::DateTime},
                {"id_no", Type::Text},
                {"address1", Type::Text},
                {"address2", Type::Memo},
                {"tel_no1", Type::Text},
                {"tel_no2", Type::Text},
                {"total_share", Type::Double}},
               {{1LL, 1LL, QStringLiteral("\u674e\u56db"), 0LL, dayCount(1970, 1, 2), "A1", "Street", QVariant(), "",
                 "0", 1000.0}});
    source.add("transfer_data",
               {{"stock_no", Type::Text},
                {"transferred_date", Type::DateTime},
                {"before_holder", Type::Integer},
                {"new_holder", Type::Integer},
                {"item_code", Type::Text}},
               {{"SC-1", dayCount(2001, 2, 3), 1LL, 2LL, "ORD"}});
    return source;
}

QList<QVariantList> rowsOf(const QString& path, const QString& table)
{
    return TempRegister::rowsIn(path, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
}

} // namespace

class TestImporter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void copiesTheThreeTables();
    void valuesAreConvertedOrKeptAndReported_data();
    void valuesAreConvertedOrKeptAndReported();
    void columnsAreMatchedByNameIgnoringCase();
    void rowsKeepTheirStoredOrder();
    void nothingIsLeftBehind_data();
    void nothingIsLeftBehind();
};

void TestImporter::copiesTheThreeTables()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    Status status;
    const importer::Report report = importer::import(aRegister(), path, status);
    QVERIFY2(status.ok(), qPrintable(status.message()));
    QVERIFY(report.complete());
    QCOMPARE(rowsOf(path, "stock_data"), (QList<QVariantList>{{"SC-1", 1LL, "1998-04-01", "ORD", 1LL, 2LL, 1000LL}}));
    QCOMPARE(rowsOf(path, "stockholder"),
             (QList<QVariantList>{{1LL, 1LL, QStringLiteral("\u674e\u56db"), 0LL, "1970-01-02", "A1", "Street",
                                   QVariant(), "", "0", 1000LL}}));
    QCOMPARE(rowsOf(path, "transfer_data"), (QList<QVariantList>{{"SC-1", "2001-02-03", 1LL, 2LL, "ORD"}}));
    QCOMPARE(TempRegister::rowsIn(path, "SELECT action, COUNT(*) FROM velmora_history GROUP BY action"),
             (QList<QVariantList>{{"import", 3LL}}));
    QCOMPARE(importer::summary(report.tables[0]),
             "stock_data: 1 rows read, 1 written; 7 columns matched; missing: none; skipped: none; 0 values reported");
}

void TestImporter::valuesAreConvertedOrKeptAndReported_data()
{
    QTest::addColumn<QString>("column"); // of stock_data: stock_no text, publish_date date, stock_qty number
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("note"); // empty: nothing reported
    const auto row = [](const char* name, const char* column, Type type, QVariant value, QVariant stored,
                        const char* note = "") {
        QTest::newRow(name) << QString::fromLatin1(column) << int(type) << value << stored << QString::fromLatin1(note);
    };
    // Day counts as Access stores them: 27293 and -657434 (its first day) and 2958465 (its last) are known values.
    row("date", "publish_date", Type::DateTime, 27293.0, "1974-09-21");
    row("date before 1900", "publish_date", Type::DateTime, dayCount(1850, 6, 15), "1850-06-15");
    row("the first day", "publish_date", Type::DateTime, 0.0, "1899-12-30");
    row("a day before it", "publish_date", Type::DateTime, -1.0, "1899-12-29");
    row("year 100", "publish_date", Type::DateTime, -657434.0, "0100-01-01");
    row("year 9999", "publish_date", Type::DateTime, 2958465.0, "9999-12-31");
    row("past 9999", "publish_date", Type::DateTime, 2958466.0, "2958466",
        "day count 2958466 is no date between 0100-01-01 and 9999-12-31; kept as the number");
    row("before 100", "stock_no", Type::DateTime, -657434.5 - 1, "-657435.5",
        "day count -657435.5 is no date between 0100-01-01 and 9999-12-31; kept as the number");
    row("a second before 10000", "publish_date", Type::DateTime, 2958465.99998, "9999-12-31",
        "9999-12-31 has the time of day 23:59:58, which is not kept");
    row("rounded into 10000", "publish_date", Type::DateTime, 2958465.999996, "2958465.999996",
        "day count 2958465.999996 is no date between 0100-01-01 and 9999-12-31; kept as the number");
    row("time of day", "publish_date", Type::DateTime, 27293.5, "1974-09-21",
        "1974-09-21 has the time of day 12:00:00, which is not kept");
    row("time before 1900", "publish_date", Type::DateTime, -1.25, "1899-12-29",
        "1899-12-29 has the time of day 06:00:00, which is not kept");
    row("date as text", "publish_date", Type::Text, "2024/3/1", "2024-03-01");
    row("text that is no date", "publish_date", Type::Text, "soon", "soon", "\"soon\" is not a date; kept as it is");
    row("no value", "stock_qty", Type::LongInteger, QVariant(), QVariant());
    row("empty text stays empty", "stock_no", Type::Text, "", "");
    row("no text stays no value", "stock_no", Type::Text, QVariant(), QVariant());
    row("number into text", "stock_no", Type::LongInteger, 42LL, "42");
    row("non-Latin text", "stock_no", Type::Memo, QStringLiteral("\u041f\u0451\u0442\u0440 \u674e"),
        QStringLiteral("\u041f\u0451\u0442\u0440 \u674e"));
    row("whole double", "stock_qty", Type::Double, 1000.0, 1000LL);
    row("fraction", "stock_qty", Type::Double, 3.5, 3.5, "3.5 is not a whole number; kept as it is");
    row("single fraction", "stock_qty", Type::Single, 0.1f, 0.1, "0.1 is not a whole number; kept as it is");
    row("single into text", "stock_no", Type::Single, 0.3f, "0.3");
    row("whole currency", "stock_qty", Type::Currency, "12.0000", 12LL);
    // A value a number column cannot take is stored exactly: SQLite's affinity would make 1000 of "1e3".
    row("currency with cents", "stock_qty", Type::Currency, "3.5000", QByteArray("3.5000"),
        "3.5000 is not a whole number; kept as it is");
    row("long decimal", "stock_qty", Type::Decimal, "12345678901234567.89", QByteArray("12345678901234567.89"),
        "12345678901234567.89 is not a whole number; kept as it is");
    row("decimal too large", "stock_qty", Type::Decimal, "9223372036854775808.00", QByteArray("9223372036854775808.00"),
        "9223372036854775808.00 is too large a whole number; kept as it is");
    row("largest double that fits", "stock_qty", Type::Double, 0x1p63 - 1024, 9223372036854774784LL);
    row("double too large", "stock_qty", Type::Double, 0x1p63, 0x1p63,
        "9223372036854776000 is too large a whole number; kept as it is");
    row("not a number", "stock_qty", Type::Double, std::nan(""), "nan", "nan is not a whole number; kept as it is");
    row("double into a date column", "publish_date", Type::Double, 0.1 + 0.2, "0.30000000000000004",
        "\"0.30000000000000004\" is not a date; kept as it is");
    row("exponent", "stock_qty", Type::Text, "1e3", QByteArray("1e3"),
        "\"1e3\" is not written as a whole number; kept as it is");
    row("whole with a point", "stock_qty", Type::Memo, " 12.0", QByteArray(" 12.0"),
        "\" 12.0\" is not written as a whole number; kept as it is");
    row("text too large", "stock_qty", Type::Text, "-9223372036854775809", QByteArray("-9223372036854775809"),
        "\"-9223372036854775809\" is too large a whole number; kept as it is");
    row("binary data", "stock_qty", Type::Other, QByteArray("\x01\x02"), QByteArray("\x01\x02"),
        "binary data; kept as it is");
    row("yes", "stock_qty", Type::Boolean, 1LL, 1LL);
    row("number as text", "stock_qty", Type::Text, " 250 ", 250LL);
    row("text in a number column", "stock_qty", Type::Text, "many", "many",
        "\"many\" is not a whole number; kept as it is");
}

void TestImporter::valuesAreConvertedOrKeptAndReported()
{
    QFETCH(QString, column);
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(QVariant, stored);
    QFETCH(QString, note);
    // The certificate table replaced by one holding the value under test.
    FakeSource mixed = aRegister().without("Stock_Data");
    mixed.add("stock_data", {{"stock_no", Type::Text}, {column, Type(type)}}, {{"X", value}});
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    Status status;
    const importer::Report report = importer::import(mixed, path, status);
    QVERIFY2(status.ok(), qPrintable(status.message()));
    const QVariantList row = rowsOf(path, "stock_data").value(0);
    const QVariant got = row.value(schema::table(u"stock_data")->indexOf(column));
    QCOMPARE(got.isNull(), stored.isNull());
    if (!stored.isNull()) {
        QCOMPARE(got.typeId(), stored.typeId() == QMetaType::Int ? int(QMetaType::LongLong) : stored.typeId());
        QCOMPARE(got, stored);
    }
    QCOMPARE(report.tables[0].notes,
             note.isEmpty() ? QStringList() : QStringList{QStringLiteral("row 1, %1: %2").arg(column, note)});
    QCOMPARE(report.tables[0].written, 1); // reported, not lost
}

void TestImporter::columnsAreMatchedByNameIgnoringCase()
{
    FakeSource renamed = aRegister().without("Stock_Data");
    renamed.add("STOCK_DATA", {{"Stock_No", Type::Text}, {"STOCK_QTY", Type::Integer}, {"Remark", Type::Memo}},
                {{"A", 5LL, "kept out"}});
    QTemporaryDir directory;
    Status status;
    const importer::Report report = importer::import(renamed, directory.filePath("stock.mdb"), status);
    QVERIFY2(status.ok(), qPrintable(status.message()));
    const importer::TableReport& certificates = report.tables[0];
    QCOMPARE(certificates.found, "STOCK_DATA");
    QCOMPARE(certificates.matched, (QStringList{"stock_no", "stock_qty"}));
    QCOMPARE(certificates.missing,
             (QStringList{"stock_type", "publish_date", "item_code", "original_holder", "present_holder"}));
    QCOMPARE(certificates.skipped, QStringList{"Remark"});
    QCOMPARE(rowsOf(directory.filePath("stock.mdb"), "stock_data"),
             (QList<QVariantList>{{"A", QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), 5LL}}));
    QCOMPARE(importer::summary(certificates),
             "stock_data: 1 rows read, 1 written; 2 columns matched; missing: stock_type, publish_date, item_code, "
             "original_holder, present_holder; skipped: Remark; 0 values reported");
}

void TestImporter::rowsKeepTheirStoredOrder()
{
    FakeSource source;
    QList<jet::Row> rows;
    for (const char* number : {"C", "A", "B", "A"})
        rows.append({QString::fromLatin1(number)});
    source.add("stock_data", {{"stock_no", Type::Text}}, rows);
    source.add("stockholder", {{"stockholder_no", Type::LongInteger}}, {});
    source.add("transfer_data", {{"stock_no", Type::Text}}, {});
    QTemporaryDir directory;
    Status status;
    importer::import(source, directory.filePath("stock.mdb"), status);
    QVERIFY2(status.ok(), qPrintable(status.message()));
    QStringList order;
    for (const QVariantList& row : rowsOf(directory.filePath("stock.mdb"), "stock_data"))
        order.append(row[0].toString());
    QCOMPARE(order, (QStringList{"C", "A", "B", "A"}));
}

void TestImporter::nothingIsLeftBehind_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a table missing") << "no transfers"
                                     << "the Access file has no table transfer_data";
    QTest::newRow("reading fails half-way") << "read fails"
                                            << "the disk could not be read";
    QTest::newRow("the target exists") << "target exists"
                                       << "a file of that name exists";
}

// A failure leaves no register behind, and a file already at the target is left as it was.
void TestImporter::nothingIsLeftBehind()
{
    QFETCH(QString, trouble);
    QFETCH(QString, reason);
    FakeSource chosen = trouble == "no transfers" ? aRegister().without("transfer_data") : aRegister();
    if (trouble == "read fails") { // after the certificates were written
        chosen.failIn = "STOCKHOLDER";
        chosen.failAt = 0;
    }
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    if (trouble == "target exists") {
        QFile existing(path);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep me");
    }
    Status status;
    const importer::Report report = importer::import(chosen, path, status);
    QVERIFY(!status.ok());
    QVERIFY2(status.message().contains(path) && status.message().contains(reason), qPrintable(status.message()));
    QVERIFY(!report.complete());
    if (trouble == "target exists") {
        QFile existing(path);
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), "keep me");
    } else {
        QVERIFY(!QFile::exists(path));
    }
}

QTEST_GUILESS_MAIN(TestImporter)
#include "tst_importer.moc"
