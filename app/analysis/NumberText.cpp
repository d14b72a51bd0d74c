#include "analysis/NumberText.h"

#include <QLocale>

#include <cmath>

// Qt writes and reads a negative zero without its sign; keep it so that every
// value survives a write and read bit for bit.
QString shortestNumberText(double value)
{
    if (value == 0.0 && std::signbit(value))
        return QStringLiteral("-0");
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

double parseNumberText(const QString& text)
{
    const double value = text.toDouble();
    if (value == 0.0 && text.trimmed().startsWith(QLatin1Char('-')))
        return -0.0;
    return value;
}
