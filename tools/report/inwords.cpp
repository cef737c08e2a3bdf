#include "inwords.h"

#include <QStringList>

namespace {

const char* const ones[] = {"zero",     "one",     "two",     "three",     "four",     "five",    "six",
                            "seven",    "eight",   "nine",    "ten",       "eleven",   "twelve",  "thirteen",
                            "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
const char* const tens[] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};
const char* const scales[] = {"", "thousand", "million", "billion", "trillion", "quadrillion", "quintillion"};

// 1 to 999. joined: an "and" before the tens and ones where hundreds or a higher group come before them.
QString belowThousand(int number, bool joined)
{
    QStringList words;
    if (number >= 100)
        words << QLatin1String(ones[number / 100]) << QStringLiteral("hundred");
    const int rest = number % 100;
    if (rest == 0)
        return words.join(QLatin1Char(' '));
    if (number >= 100 || joined)
        words << QStringLiteral("and");
    if (rest < 20)
        words << QLatin1String(ones[rest]);
    else if (rest % 10 == 0)
        words << QLatin1String(tens[rest / 10]);
    else
        words << QStringLiteral("%1-%2").arg(QLatin1String(tens[rest / 10]), QLatin1String(ones[rest % 10]));
    return words.join(QLatin1Char(' '));
}

} // namespace

QString inWords(qint64 number)
{
    if (number < 0)
        return {};
    QString text;
    if (number == 0) {
        text = QLatin1String(ones[0]);
    } else {
        QStringList groups;
        int scale = 0;
        for (qint64 left = number; left > 0; left /= 1000, ++scale) {
            const int group = int(left % 1000);
            if (group == 0)
                continue;
            // The last group below a hundred takes "and" after a higher group: "one thousand and five".
            QString words = belowThousand(group, scale == 0 && number >= 1000);
            if (scale > 0)
                words += QLatin1Char(' ') + QLatin1String(scales[scale]);
            groups.prepend(words);
        }
        text = groups.join(QLatin1Char(' '));
    }
    text[0] = text[0].toUpper();
    return text;
}
