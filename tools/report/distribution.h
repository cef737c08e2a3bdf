#pragma once

#include "status.h"

#include <QList>
#include <QString>

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

// Each shareholder's shares: the whole-number quantities of the certificates they hold now, one holding per
// shareholder number (the first record's name where numbers repeat), largest first.
Expected<QList<Holding>> read(const Connection& connection);
// A part of all as a percentage with two decimals, rounded half up: "12.35%".
QString percentage(qint64 part, qint64 all);
// The page, followed by a page break.
void lay(ReportPages& pages, const QList<Holding>& holdings);

} // namespace distribution
