#include "CsvText.h"

#include "analysis/NumberText.h"

#include <algorithm>
#include <cmath>

namespace cli {

QString csvNumber(double value)
{
    return std::isnan(value) ? QStringLiteral("nan") : shortestNumberText(value);
}

QString csvField(const QString& text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return special.contains(c); }))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace cli
