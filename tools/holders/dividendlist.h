#pragma once

#include "exactdecimal.h"
#include "heldon.h"

#include <QList>

// A dividend on the holdings of a record date, in exact money: each holder's gross is shares × the amount per
// share, rounded half away from zero to the cent; the tax withheld is the rate of that gross, rounded the same
// way; net is gross less withheld. The totals are the sums of the lines.
struct DividendList {
    struct Line {
        heldon::Holder holder;
        qint64 gross = 0; // in hundredths
        qint64 withheld = 0;
        qint64 net = 0;
    };

    QList<Line> lines;
    qint64 shares = 0;
    qint64 gross = 0;
    qint64 withheld = 0;
    qint64 net = 0;
    // shares × the amount per share, unrounded, as units of 10^-exactScale
    qint64 exact = 0;
    int exactScale = 0;
    bool tooLarge = false; // an amount beyond what is kept: nothing else here holds

    static DividendList of(const heldon::Holdings& holdings, const ExactDecimal& perShare,
                           const ExactDecimal& withholding);

    // How far the lines' gross lies from shares × the amount per share, in words.
    QString rounding() const;
};
