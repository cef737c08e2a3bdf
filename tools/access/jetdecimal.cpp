#include "jetdecimal.h"

#include <QtEndian>

namespace jetdecimal {

namespace {

// A whole number as decimal text with `scale` digits after the point.
QString withPoint(bool negative, unsigned __int128 magnitude, int scale)
{
    const bool zero = magnitude == 0;
    QByteArray digits;
    do {
        digits.prepend(char('0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale > 0) {
        if (digits.size() <= scale)
            digits.prepend(QByteArray(scale - digits.size() + 1, '0'));
        digits.insert(digits.size() - scale, '.');
    }
    if (negative && !zero)
        digits.prepend('-');
    return QString::fromLatin1(digits);
}

} // namespace

QString currency(const uchar* bytes)
{
    const qint64 stored = qFromLittleEndian<qint64>(bytes);
    const bool negative = stored < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(stored) : quint64(stored);
    return withPoint(negative, magnitude, 4);
}

QString decimal(const uchar* bytes, int scale)
{
    unsigned __int128 magnitude = 0;
    for (int word = 0; word < 4; ++word)
        magnitude = (magnitude << 32) | qFromLittleEndian<quint32>(bytes + 1 + 4 * word);
    return withPoint((bytes[0] & 0x80) != 0, magnitude, scale);
}

} // namespace jetdecimal
