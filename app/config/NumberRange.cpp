#include "config/NumberRange.h"

#include <QLocale>

#include <cmath>

QString NumberRange::text() const
{
    if (!isBounded())
        return QStringLiteral("any finite number");
    return QStringLiteral("%1 to %2").arg(numberText(minimum), numberText(maximum));
}

QString numberText(double value)
{
    // Whole numbers of up to ten digits read best in full (the limits of an int).
    if (value == std::trunc(value) && std::fabs(value) < 1e10)
        return QString::number(qint64(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}
