#include "tooltest.h"

using namespace tooltest;

Q_DECLARE_METATYPE(Engine)

// Under AddressSanitizer a crash is its report and an ordinary exit, not a crash the tool can name.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

// import and inspect of Access-format files, run as the clerk would run them.
class TestAccessCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refusesWhatItCannotConvert_data();
    void refusesWhatItCannotConvert();
    void inspectsAndDeclinesTheSampleAccessFiles_data();
    void inspectsAndDeclinesTheSampleAccessFiles();
    void survivesAFileThatCrashesTheReader();
};

void TestAccessCommands::refusesWhatItCannotConvert_data()
{
    refusalColumns();
    QTest::newRow("import, no such file") << QStringList{"import", "{d}/old.mdb", "{d}/new.mdb"} << ""
                                          << ""
                                          << "{d}/old.mdb";
    QTest::newRow("import, a text file") << QStringList{"import", "{d}/old.mdb", "{d}/new.mdb"} << "text"
                                         << ""
                                         << "{d}/old.mdb";
    QTest::newRow("import, a Velmora register") << QStringList{"import", "{d}/old.mdb", "{d}/new.mdb"} << "register"
                                                << ""
                                                << "{d}/old.mdb";
    QTest::newRow("import over a file that exists")
        << QStringList{"import", samples() + "jet4-types.mdb", "{d}/new.mdb"} << ""
        << "{d}/new.mdb"
        << "{d}/new.mdb";
    QTest::newRow("inspect, a text file") << QStringList{"inspect", "{d}/old.mdb"} << "text"
                                          << ""
                                          << "{d}/old.mdb";
    QTest::newRow("import through a link to the Access file")
        << QStringList{"import", "{d}/old.mdb", "{d}/link.mdb"} << "access, linked as link.mdb" << QString()
        << "\"{d}/link.mdb\"" + beingRead;
}

void TestAccessCommands::refusesWhatItCannotConvert()
{
    refuses();
}

void TestAccessCommands::inspectsAndDeclinesTheSampleAccessFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("tables"); // with their row counts
    const QStringList types{"Table1 (2 rows)", "Table2 (0 rows)", "Table3 (0 rows)", "Table4 (0 rows)"};
    QTest::newRow("Jet 3") << "jet3-types.mdb"
                           << "Jet 3" << types;
    QTest::newRow("Jet 4") << "jet4-types.mdb"
                           << "Jet 4" << types;
    QTest::newRow("ACE 12") << "ace12-types.accdb"
                            << "ACE 12" << types;
    QTest::newRow("numbers") << "jet4-numeric.mdb"
                             << "Jet 4" << QStringList{"test (1 rows)"};
    QTest::newRow("no tables") << "jet4-empty.mdb"
                               << "Jet 4" << QStringList();
    QTest::newRow("memo") << "ace-longtext.accdb"
                          << "ACE" << QStringList{"Table1 (1 rows)"};
}

// The samples hold no register tables: inspect lists what they hold, import says so and writes nothing.
void TestAccessCommands::inspectsAndDeclinesTheSampleAccessFiles()
{
    QFETCH(QString, file);
    QFETCH(QString, format);
    QFETCH(QStringList, tables);
    const QString path = samples() + file;
    if (!QFile::exists(path))
        QSKIP("the sample Access files are not here (../shared/fixtures/access)");
    const Run inspected = run({"inspect", path});
    QCOMPARE(inspected.status, 0);
    QVERIFY2(inspected.out.startsWith(QStringLiteral("%1: %2").arg(path, format)), qPrintable(inspected.out));
    QVERIFY2(inspected.out.contains(QStringLiteral("%1 user tables").arg(tables.size())), qPrintable(inspected.out));
    for (const QString& table : tables)
        QVERIFY2(inspected.out.contains("\n" + table + "\n"), qPrintable(inspected.out));

    QTemporaryDir directory;
    const Run imported = run({"import", path, directory.filePath("stock.mdb")});
    QCOMPARE(imported.status, 1);
    QVERIFY2(imported.out.contains("stock_data: missing from the Access file\n"), qPrintable(imported.out));
    QVERIFY2(imported.err.contains("the Access file has no table stock_data, stockholder, transfer_data"),
             qPrintable(imported.err));
    QVERIFY(QDir(directory.path()).isEmpty());
}

void TestAccessCommands::survivesAFileThatCrashesTheReader()
{
    const QString sample = samples() + "jet4-empty.mdb";
    if (!QFile::exists(sample))
        QSKIP("the sample Access files are not here (../shared/fixtures/access)");
    // One byte changed in the table list sends the Access reader library off the end of its map.
    QByteArray bytes = contentOf(sample);
    bytes[8247] = char(0x8c);
    QTemporaryDir directory;
    const QString path = directory.filePath("damaged.mdb");
    write(path, bytes);

    for (const QStringList& arguments :
         {QStringList{"inspect", path}, QStringList{"import", path, directory.filePath("stock.mdb")}}) {
        const Run refused = run(arguments);
        QCOMPARE(refused.status, 1);
        if (!sanitized)
            QVERIFY2(
                refused.err.contains(QStringLiteral("Cannot read the Access file \"%1\": reading it stopped").arg(path))
                    && refused.err.contains("probably damaged"),
                qPrintable(refused.err));
    }
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"damaged.mdb"});
}

QTEST_GUILESS_MAIN(TestAccessCommands)
#include "tst_accesscommands.moc"
