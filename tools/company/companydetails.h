#pragma once

#include "status.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class Connection;

// The company's details as the register keeps them, one row per detail in velmora_company: its name,
// registration number, registered office, country and currency, and per share type (a stock_type code) its
// name, nominal value per share and votes per share. A detail not set is left out wherever they are shown.
class CompanyDetails {
public:
    struct Detail {
        QString key;
        QString value;
    };

    // The details in the transaction under way; none from a register made before the table.
    static Expected<CompanyDetails> read(const Connection& connection);
    // Why a KEY=VALUE cannot be set; empty when it can. An empty value unsets the detail.
    static QString wrong(const QString& key, const QString& value);
    // The key as it is kept: a share type's code without leading zeros ("type.01.par" as "type.1.par").
    static QString kept(const QString& key);

    QString value(const QString& key) const { return m_values.value(key); }
    // Every detail set, in the order they are printed: the company's, then each share type's by code.
    QList<Detail> all() const;
    // The registered office's lines, typed apart by ";".
    QStringList office() const;
    // "Name, no. 556000-1234", or whichever of the two is set; empty when neither is.
    QString heading() const;
    // A share type's detail (name, par or votes) by its stock_type code.
    QString type(qint64 code, const char* detail) const;
    // The nominal value per share with the currency before it, as typed: "EUR 0.10"; empty when not set.
    QString par(qint64 code) const;

private:
    QMap<QString, QString> m_values;
};
