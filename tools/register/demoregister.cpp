#include "demoregister.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <iterator>

namespace demoregister {

namespace {

struct Holder {
    int number;
    int character; // 1 natural person, 2 juristic person
    const char* name;
    int gender; // 0 female, 1 male, -1 none (a company)
    const char* birth;
    const char* id;
    const char* address1;
    const char* address2;
    const char* tel1;
    const char* tel2;
};

struct Certificate {
    const char* number;
    int type; // 1 common, 2 special
    const char* published;
    const char* itemCode;
    int originalHolder;
    int quantity;
};

struct Transfer {
    const char* certificate;
    const char* date;
    int before;
    int after;
};

// clang-format off
const Holder holders[] = {
    {1, 1, "Margaret Ashworth", 0, "1956-03-14", "A123456789", "14 Juniper Row", "Harrogate HG2 7QX", "01423 550 118", ""},
    {2, 1, "Jonas Lindqvist", 1, "1971-11-02", "SE-710211-4471", "Strandvägen 21", "114 56 Stockholm", "+46 8 661 20 14", ""},
    {3, 2, "Brenmoor Holdings Ltd", -1, "", "CRN 04417730", "Brenmoor House, 2 Quay Street", "Bristol BS1 4DJ", "0117 930 4400", "0117 930 4401"},
    {4, 1, "王小明", 1, "1983-06-21", "110105198306214417", "北京市朝阳区建国路88号", "SOHO现代城 2号楼 1504", "+86 10 8580 2277", ""},
    {5, 1, "Наталья Петрова", 0, "1968-09-30", "4510 223344", "ул. Тверская, д. 12, кв. 45", "Москва 125009", "+7 495 629 11 02", ""},
    {6, 1, "Siobhán O'Brien", 0, "1990-01-17", "IE-8821931K", "3 Harbour View", "Cobh, Co. Cork P24 X2F3", "+353 21 481 3307", "+353 87 220 1946"},
    {7, 1, "Kwame Mensah", 1, "1962-07-07", "GHA-712345678-9", "17 Independence Avenue", "Accra", "+233 30 266 1180", ""},
    {8, 2, "Müller & Söhne GmbH", -1, "", "HRB 88213", "Königstraße 40", "70173 Stuttgart", "+49 711 22 98 30", ""},
    {9, 1, "Σοφία Παπαδοπούλου", 0, "1979-04-25", "ΑΚ 482913", "Οδός Ερμού 54", "105 63 Αθήνα", "+30 21 0323 4411", ""},
    {10, 1, "田中陽翔", 1, "1995-12-03", "JP-4402-1995", "東京都港区六本木6-10-1", "", "+81 3 5770 2218", ""},
};

const Certificate certificates[] = {
    {"SC-0001", 1, "1998-04-01", "ORD-98", 1, 1000},
    {"SC-0002", 1, "1998-04-01", "ORD-98", 1, 500},
    {"SC-0003", 1, "1999-06-15", "ORD-99", 2, 750},
    {"SC-0004", 2, "2001-02-20", "PRF-01", 2, 200},
    {"SC-0005", 1, "2003-09-09", "ORD-03", 3, 5000},
    {"SC-0006", 1, "2003-09-09", "ORD-03", 3, 2500},
    {"SC-0007", 2, "2005-01-31", "PRF-05", 3, 400},
    {"SC-0008", 1, "2008-11-11", "ORD-08", 4, 300},
    {"SC-0009", 1, "2008-11-11", "ORD-08", 4, 300},
    {"SC-0010", 1, "2010-05-05", "ORD-10", 5, 1200},
    {"SC-0011", 1, "2012-07-01", "ORD-12", 6, 150},
    {"SC-0012", 2, "2014-03-18", "PRF-14", 8, 800},
    {"SC-0013", 1, "2016-10-24", "ORD-16", 7, 600},
    {"SC-0014", 1, "2019-08-30", "ORD-19", 1, 250},
    {"SC-0015", 1, "2023-01-09", "ORD-23", 9, 100},
};

const Transfer transfers[] = {
    {"SC-0002", "2002-05-17", 1, 7},
    {"SC-0004", "2004-12-01", 2, 5},
    {"SC-0004", "2011-03-22", 5, 9},
    {"SC-0007", "2009-06-30", 3, 8},
    {"SC-0009", "2015-02-14", 4, 10},
    {"SC-0011", "2018-09-03", 6, 7},
    {"SC-0012", "2020-11-27", 8, 3},
    {"SC-0014", "2024-04-08", 1, 6},
};
// clang-format on

QVariant textOrNull(const char* text)
{
    return *text ? QVariant(QString::fromUtf8(text)) : QVariant();
}

// Each certificate's present holder, after its transfers in date order.
QHash<QString, int> presentHolders()
{
    QHash<QString, int> present;
    for (const Certificate& certificate : certificates)
        present.insert(QString::fromLatin1(certificate.number), certificate.originalHolder);
    for (const Transfer& transfer : transfers)
        present.insert(QString::fromLatin1(transfer.certificate), transfer.after);
    return present;
}

Status run(QSqlQuery& query, const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    if (!query.exec())
        return Status::failure(query.lastError().text());
    return {};
}

} // namespace

Counts counts()
{
    return {int(std::size(holders)), int(std::size(certificates)), int(std::size(transfers))};
}

Status fill(QSqlDatabase& database)
{
    const QHash<QString, int> present = presentHolders();
    QHash<int, qlonglong> totals;
    for (const Certificate& certificate : certificates)
        totals[present.value(QString::fromLatin1(certificate.number))] += certificate.quantity;

    QSqlQuery query(database);
    query.prepare(QStringLiteral("INSERT INTO stockholder VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const Holder& holder : holders) {
        const Status added =
            run(query, {holder.number, holder.character, QString::fromUtf8(holder.name),
                        holder.gender < 0 ? QVariant() : QVariant(holder.gender), textOrNull(holder.birth),
                        textOrNull(holder.id), textOrNull(holder.address1), textOrNull(holder.address2),
                        textOrNull(holder.tel1), textOrNull(holder.tel2), totals.value(holder.number)});
        if (!added)
            return added;
    }
    query.prepare(QStringLiteral("INSERT INTO stock_data VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (const Certificate& certificate : certificates) {
        const QString number = QString::fromLatin1(certificate.number);
        const Status added = run(query, {number, certificate.type, QString::fromLatin1(certificate.published),
                                         QString::fromLatin1(certificate.itemCode), certificate.originalHolder,
                                         present.value(number), certificate.quantity});
        if (!added)
            return added;
    }
    QHash<QString, QString> itemCodes;
    for (const Certificate& certificate : certificates)
        itemCodes.insert(QString::fromLatin1(certificate.number), QString::fromLatin1(certificate.itemCode));
    query.prepare(QStringLiteral("INSERT INTO transfer_data VALUES (?, ?, ?, ?, ?)"));
    for (const Transfer& transfer : transfers) {
        const QString number = QString::fromLatin1(transfer.certificate);
        const Status added = run(query, {number, QString::fromLatin1(transfer.date), transfer.before, transfer.after,
                                         itemCodes.value(number)});
        if (!added)
            return added;
    }
    return {};
}

} // namespace demoregister
