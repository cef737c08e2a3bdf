#pragma once

#include "connection.h"
#include "fakefields.h"
#include "recordset.h"
#include "schema.h"
#include "tempregister.h"

#include <QtTest>

#include <memory>

// A record set on a register of the test's own, bound to fake fields.
namespace scene {

inline const QStringList certificateColumns{"stock_no",        "stock_type",     "publish_date", "item_code",
                                            "original_holder", "present_holder", "stock_qty"};

// A record set on one table of a register, bound to fake fields.
struct Opened {
    std::unique_ptr<Recordset> recordset;
    Status status;
};

inline Opened openOn(const QString& path, const QString& table, FakeFields* fields)
{
    Expected<std::unique_ptr<Connection>> connection = Connection::open(path);
    if (!connection)
        return {nullptr, connection.status()};
    auto recordset = std::make_unique<Recordset>(std::move(connection.value()), *schema::table(table), fields);
    if (fields)
        fields->recordset = recordset.get();
    Status opened = recordset->open();
    return {std::move(recordset), opened};
}

// Certificates A, B, C, D with present holders 7, 12, 0, 7.
inline void addCertificates(const TempRegister& reg)
{
    const QList<QVariantList> rows{{"A", 1, "2001-02-03", "IT1", 3, 7, 100},
                                   {"B", 2, "2002-03-04", "IT2", 4, 12, 200},
                                   {"C", 1, "2003-04-05", "IT3", 5, 0, 300},
                                   {"D", 2, "2004-05-06", "IT4", 6, 7, 400}};
    for (const QVariantList& row : rows)
        QVERIFY(reg.exec("INSERT INTO stock_data VALUES (?, ?, ?, ?, ?, ?, ?)", row).isEmpty());
}

inline QList<QVariantList> allCertificates(const TempRegister& reg)
{
    QStringList columns{reg.key()};
    for (const schema::Column& column : schema::table(u"stock_data")->columns)
        columns.append(column.name);
    return reg.rows(QStringLiteral("SELECT %1 FROM stock_data ORDER BY %2").arg(columns.join(','), reg.key()));
}

// A register, fake fields and a record set on stock_data, opened.
struct Scene {
    explicit Scene(bool withCertificates = true, Engine engine = Engine::File)
        : reg(engine)
        , fields(certificateColumns)
    {
        if (!reg.isValid())
            return;
        if (withCertificates)
            addCertificates(reg);
        opened = openOn(reg.path(), "stock_data", &fields);
    }
    Recordset& set() { return *opened.recordset; }

    TempRegister reg;
    FakeFields fields;
    Opened opened;
};

} // namespace scene
