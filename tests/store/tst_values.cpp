#include "schema.h"
#include "values.h"

#include <QtTest>

class TestValues : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void convertsTypedText_data();
    void convertsTypedText();
    void showsStoredValues_data();
    void showsStoredValues();
};

void TestValues::convertsTypedText_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("stored"); // invalid: refused, or NULL when refusal is empty
    QTest::addColumn<QString>("refusal");

    const QVariant null;
    QTest::newRow("number") << "stockholder"
                            << "stockholder_no"
                            << "12" << QVariant(12LL) << "";
    QTest::newRow("signed, with blanks") << "stockholder"
                                         << "stockholder_no"
                                         << " -7 " << QVariant(-7LL) << "";
    QTest::newRow("plus sign") << "stock_data"
                               << "stock_qty"
                               << "+30" << QVariant(30LL) << "";
    QTest::newRow("leading zeros") << "stock_data"
                                   << "present_holder"
                                   << "007" << QVariant(7LL) << "";
    QTest::newRow("largest") << "stock_data"
                             << "stock_qty"
                             << "9223372036854775807" << QVariant(9223372036854775807LL) << "";
    QTest::newRow("empty number stores nothing") << "stock_data"
                                                 << "stock_qty"
                                                 << "" << null << "";
    QTest::newRow("blank number stores nothing") << "stock_data"
                                                 << "stock_qty"
                                                 << "   " << null << "";
    QTest::newRow("letters") << "stockholder"
                             << "stockholder_no"
                             << "12a" << null << "ShareHolder #: \"12a\" is not a whole number";
    QTest::newRow("fraction") << "stock_data"
                              << "stock_qty"
                              << "1.5" << null << "Stock Qty: \"1.5\" is not a whole number";
    QTest::newRow("sign alone") << "stock_data"
                                << "stock_type"
                                << "-" << null << "Type: \"-\" is not a whole number";
    QTest::newRow("digits of another script")
        << "stockholder"
        << "gender" << QString::fromUtf8("١") << null << QString::fromUtf8("Gender: \"١\" is not a whole number");
    QTest::newRow("too large") << "stock_data"
                               << "stock_qty"
                               << "9223372036854775808" << null
                               << "Stock Qty: \"9223372036854775808\" is too large a number";
    QTest::newRow("code with blank inside") << "stockholder"
                                            << "character"
                                            << "1 2" << null << "nature/juristic: \"1 2\" is not a whole number";

    const QString dateForm = " is not a date; type it as YYYY-MM-DD, for example 2024-03-31";
    QTest::newRow("date") << "stock_data"
                          << "publish_date"
                          << "2024-02-29" << QVariant("2024-02-29") << "";
    QTest::newRow("slashed date") << "stockholder"
                                  << "birth_date"
                                  << "1987/7/4" << QVariant("1987-07-04") << "";
    QTest::newRow("date with blanks") << "transfer_data"
                                      << "transferred_date"
                                      << " 2001-01-01 " << QVariant("2001-01-01") << "";
    QTest::newRow("empty date stores nothing") << "stock_data"
                                               << "publish_date"
                                               << "" << null << "";
    QTest::newRow("no such day") << "stock_data"
                                 << "publish_date"
                                 << "2023-02-29" << null << "Publish Date: \"2023-02-29\"" + dateForm;
    QTest::newRow("month 13") << "stock_data"
                              << "publish_date"
                              << "2023-13-01" << null << "Publish Date: \"2023-13-01\"" + dateForm;
    QTest::newRow("short year") << "stockholder"
                                << "birth_date"
                                << "87-07-04" << null << "Birthday: \"87-07-04\"" + dateForm;
    QTest::newRow("year nought") << "stockholder"
                                 << "birth_date"
                                 << "0000-01-01" << null << "Birthday: \"0000-01-01\"" + dateForm;
    QTest::newRow("dashes without zeros") << "stockholder"
                                          << "birth_date"
                                          << "1987-7-4" << QVariant("1987-07-04") << "";
    QTest::newRow("dashes, one-digit day") << "stock_data"
                                           << "publish_date"
                                           << "2024-01-5" << QVariant("2024-01-05") << "";
    QTest::newRow("separators mixed") << "stock_data"
                                      << "publish_date"
                                      << "2024-1/5" << null << "Publish Date: \"2024-1/5\"" + dateForm;
    QTest::newRow("three-digit month") << "stock_data"
                                       << "publish_date"
                                       << "2024-001-05" << null << "Publish Date: \"2024-001-05\"" + dateForm;
    QTest::newRow("no such day, short form") << "stock_data"
                                             << "publish_date"
                                             << "2023/2/29" << null << "Publish Date: \"2023/2/29\"" + dateForm;
    QTest::newRow("words") << "transfer_data"
                           << "transferred_date"
                           << "yesterday" << null << "Transferred Date: \"yesterday\"" + dateForm;

    QTest::newRow("text as typed") << "stockholder"
                                   << "stockholder_name"
                                   << " O'Brien  " << QVariant(" O'Brien  ") << "";
    QTest::newRow("blank text is kept") << "stockholder"
                                        << "address1"
                                        << " " << QVariant(" ") << "";
    QTest::newRow("empty text stores nothing") << "stockholder"
                                               << "tel_no1"
                                               << "" << null << "";
    QTest::newRow("digits in a text column stay text") << "stock_data"
                                                       << "stock_no"
                                                       << "007" << QVariant("007") << "";
}

void TestValues::convertsTypedText()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, typed);
    QFETCH(QVariant, stored);
    QFETCH(QString, refusal);
    const schema::Column* target = schema::table(table)->column(column);
    QVERIFY(target);
    const Expected<QVariant> converted = values::toStored(*target, typed);
    if (!refusal.isEmpty()) {
        QVERIFY(!converted.ok());
        QCOMPARE(converted.status().message(), refusal);
        QCOMPARE(converted.status().column(), column); // so the window can put the clerk back in that field
        return;
    }
    QVERIFY2(converted.ok(), qPrintable(converted.status().message()));
    QCOMPARE(converted.value().isValid(), stored.isValid());
    if (stored.isValid()) {
        QCOMPARE(converted.value().typeId(), stored.typeId());
        QCOMPARE(converted.value(), stored);
    }
}

void TestValues::showsStoredValues_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("names"); // the whole number it names: none, or "odd"
    QTest::newRow("nothing") << QVariant() << ""
                             << "";
    QTest::newRow("whole number") << QVariant(-42LL) << "-42"
                                  << "-42";
    QTest::newRow("fraction kept by an older file") << QVariant(2.5) << "2.5"
                                                    << "odd";
    QTest::newRow("date") << QVariant("2024-03-05") << "2024-03-05"
                          << "odd";
    QTest::newRow("text") << QVariant(QString::fromUtf8("王小明")) << QString::fromUtf8("王小明") << "odd";
    QTest::newRow("empty text") << QVariant(QString("")) << ""
                                << "";
    QTest::newRow("real with no fraction") << QVariant(7.0) << "7"
                                           << "7";
    // Every digit a person needs to tell it from its neighbours, as the history and the CSV write it.
    QTest::newRow("real needing seventeen digits") << QVariant(0.1 + 0.2) << "0.30000000000000004"
                                                   << "odd";
    QTest::newRow("text kept as bytes") << QVariant(QByteArray("Ch\xc3\xa2teau")) << QString::fromUtf8("Château")
                                        << "odd";
    QTest::newRow("number kept as bytes") << QVariant(QByteArray("7.0")) << "7.0"
                                          << "7";
    QTest::newRow("number written with blanks") << QVariant(" -07.00 ") << " -07.00 "
                                                << "-7";
    QTest::newRow("fraction written") << QVariant("7.5") << "7.5"
                                      << "odd";
    QTest::newRow("exponent written") << QVariant("1e3") << "1e3"
                                      << "odd";
    QTest::newRow("unsigned past the largest") << QVariant(quint64(1) << 63) << "9223372036854775808"
                                               << "odd";
}

void TestValues::showsStoredValues()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, shown);
    QFETCH(QString, names);
    QCOMPARE(values::shown(stored), shown);
    const values::WholeNumber number = values::wholeNumber(stored);
    const QString named = number.form == values::WholeNumber::Whole ? QString::number(number.value)
                          : number.form == values::WholeNumber::Odd ? QStringLiteral("odd")
                                                                    : QString();
    QCOMPARE(named, names);
}

QTEST_GUILESS_MAIN(TestValues)
#include "tst_values.moc"
