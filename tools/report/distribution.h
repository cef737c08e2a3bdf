#pragma once

#include "status.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

class Connection;
class ReportPages;

// Who owns the company at a glance, the register of members' first page: each shareholder's part of all the
// shares held, the ten largest holdings as bars with the rest as one, and the holders of more than 10% and 25%.
namespace distribution {

struct Holding {
    QString number; // as stored
    QString name;
    qint64 shares = 0;
};

// Each shareholder's shares on the day (now, with none), as every list of holders counts them, one holding per
// shareholder number (the first record's name where numbers repeat), largest first.
Expected<QList<Holding>> read(const Connection& connection, const std::optional<QDate>& on = {});
// The page, followed by a page break.
void lay(ReportPages& pages, const QList<Holding>& holdings);

} // namespace distribution
