#include "criteria.h"
#include "schema.h"

#include <QtTest>

#include <cmath>

class TestCriteria : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void valReadsTheLeadingNumber_data();
    void valReadsTheLeadingNumber();
    void parsesBothForms_data();
    void parsesBothForms();
    void refusesWhatItCannotRead_data();
    void refusesWhatItCannotRead();
};

void TestCriteria::valReadsTheLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariant>("number");
    QTest::newRow("digits") << "12" << QVariant(12LL);
    QTest::newRow("leading zeros") << "007" << QVariant(7LL);
    QTest::newRow("digits then letters") << "12abc" << QVariant(12LL);
    QTest::newRow("letters") << "abc" << QVariant(0LL);
    QTest::newRow("letters then digits") << "x7" << QVariant(0LL);
    QTest::newRow("empty") << "" << QVariant(0LL);
    QTest::newRow("blanks skipped") << "   7" << QVariant(7LL);
    QTest::newRow("tab skipped") << "\t7" << QVariant(7LL);
    QTest::newRow("plus") << "+7" << QVariant(7LL);
    QTest::newRow("minus") << "-7" << QVariant(-7LL);
    QTest::newRow("sign alone") << "-" << QVariant(0LL);
    QTest::newRow("blank after sign stops") << "- 7" << QVariant(0LL);
    QTest::newRow("decimal") << "7.25kg" << QVariant(7.25);
    QTest::newRow("whole decimal") << "12.0" << QVariant(12LL);
    QTest::newRow("point first") << ".5" << QVariant(0.5);
    QTest::newRow("negative point first") << "-.5" << QVariant(-0.5);
    QTest::newRow("trailing point") << "7." << QVariant(7LL);
    QTest::newRow("no exponent") << "1e5" << QVariant(1LL);
    QTest::newRow("no hexadecimal") << "0x1A" << QVariant(0LL);
    QTest::newRow("second point stops") << "1.2.3" << QVariant(1.2);
    QTest::newRow("blank inside stops") << "1 2" << QVariant(1LL);
    QTest::newRow("digits of another script") << QString::fromUtf8("٧") << QVariant(0LL);
    QTest::newRow("largest whole") << "9223372036854775807" << QVariant(9223372036854775807LL);
    QTest::newRow("beyond whole") << "9223372036854775808" << QVariant(9223372036854775808.0);
    QTest::newRow("beyond double") << QString(400, '9') << QVariant(HUGE_VAL);
    QTest::newRow("below double") << "0." + QString(400, '0') + "1" << QVariant(0.0);
    QTest::newRow("rounds up to whole") << "7.99999999999999999999" << QVariant(8.0);
    QTest::newRow("largest whole and a half") << "9223372036854775807.5" << QVariant(9223372036854775808.0);
    QTest::newRow("point first, whole") << "-.0" << QVariant(0LL);
}

void TestCriteria::valReadsTheLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(QVariant, number);
    const QVariant read = criteria::val(text);
    QCOMPARE(read.typeId(), number.typeId());
    QCOMPARE(read, number);
}

void TestCriteria::parsesBothForms_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<QString>("text");
    QTest::newRow("text") << "stock_no = 'A-17'"
                          << "stock_no" << false << "A-17";
    QTest::newRow("empty text") << "stock_no = ''"
                                << "stock_no" << false << "";
    QTest::newRow("apostrophe") << "stock_no = 'O'Brien'"
                                << "stock_no" << false << "O'Brien";
    QTest::newRow("injection is only text") << "stock_no = '' OR '1'='1'"
                                            << "stock_no" << false << "' OR '1'='1";
    QTest::newRow("blanks kept") << "stock_no = ' A '"
                                 << "stock_no" << false << " A ";
    QTest::newRow("text that looks like val") << "stock_no = 'val('7')'"
                                              << "stock_no" << false << "val('7')";
    QTest::newRow("number") << "present_holder = val('12')"
                            << "present_holder" << true << "12";
    QTest::newRow("number text with closing") << "present_holder = val('1') OR 1=1 --')"
                                              << "present_holder" << true << "1') OR 1=1 --";
    QTest::newRow("capitals in the column") << "PRESENT_HOLDER = val('3')"
                                            << "present_holder" << true << "3";
}

void TestCriteria::parsesBothForms()
{
    QFETCH(QString, criteria);
    QFETCH(QString, column);
    QFETCH(bool, numeric);
    QFETCH(QString, text);
    const auto parsed = criteria::parse(criteria, *schema::table(u"stock_data"));
    QVERIFY2(parsed.ok(), qPrintable(parsed.status().message()));
    QCOMPARE(parsed->column->name, column);
    QCOMPARE(parsed->comparison, numeric ? criteria::Comparison::Number : criteria::Comparison::Text);
    QCOMPARE(parsed->text, text);
    if (numeric)
        QCOMPARE(parsed->number, criteria::val(text));
}

void TestCriteria::refusesWhatItCannotRead_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<QString>("message");
    const QString unreadable = "The search \"%1\" cannot be read.";
    for (const char* text : {"stock_no = 'A", "stock_no = A", "stock_no 'A'", "= 'A'", "stock_no = val('7'",
                             "stock_no = val(7)", "", "'", "stock_no = '", "stock no = 'A'", "1 = '1'"})
        QTest::newRow(text) << QString::fromLatin1(text) << unreadable.arg(QString::fromLatin1(text));
    QTest::newRow("unknown column") << "holder = '7'"
                                    << "The search \"holder = '7'\" names no column of stock_data.";
    QTest::newRow("rowid") << "rowid = val('1')"
                           << "The search \"rowid = val('1')\" names no column of stock_data.";
}

void TestCriteria::refusesWhatItCannotRead()
{
    QFETCH(QString, criteria);
    QFETCH(QString, message);
    const auto parsed = criteria::parse(criteria, *schema::table(u"stock_data"));
    QVERIFY(!parsed.ok());
    QCOMPARE(parsed.status().message(), message);
}

QTEST_GUILESS_MAIN(TestCriteria)
#include "tst_criteria.moc"
