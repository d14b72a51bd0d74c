#include "session/DecimalText.h"

#include <charconv>

int writeDecimal(char* out, double value)
{
    // std::to_chars with a precision is printf's "%.6g" in the C locale, without
    // printf's locale lookup and format parsing.
    return int(std::to_chars(out, out + maxDecimalTextLength, value, std::chars_format::general, 6).ptr - out);
}

QString decimalText(double value)
{
    char text[maxDecimalTextLength];
    return QString::fromLatin1(text, writeDecimal(text, value));
}

QByteArray vectorText(const QVector<double>& values)
{
    QByteArray text(values.size() * (maxDecimalTextLength + 1), Qt::Uninitialized);
    char* out = text.data();
    for (double value : values) {
        out += writeDecimal(out, value);
        *out++ = ';';
    }
    text.truncate(int(out - text.constData()));
    return text;
}

double parseDecimal(QStringView text)
{
    // The writer's own texts are short and plain: read them without a copy
    // through the exact standard parser. Anything else (white space, a '+',
    // unusual spellings) goes to Qt's parser.
    constexpr int shortText = 40;
    if (text.size() > 0 && text.size() <= shortText) {
        char narrow[shortText];
        bool ascii = true;
        for (int i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            ascii = ascii && c < 0x80;
            narrow[i] = char(c);
        }
        double value = 0.0;
        if (ascii) {
            const auto parsed = std::from_chars(narrow, narrow + text.size(), value);
            if (parsed.ec == std::errc() && parsed.ptr == narrow + text.size())
                return value;
        }
    }
    bool ok = false;
    const double value = text.toString().toDouble(&ok);
    return ok ? value : 0.0;
}

QVector<double> parseVectorText(QStringView text)
{
    // One value per separator at most: the vector never outgrows its text.
    QVector<double> values;
    values.reserve(int(text.count(QLatin1Char(';'))) + 1);
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = text.indexOf(QLatin1Char(';'), start);
        if (end < 0)
            end = text.size();
        if (end > start)
            values.append(parseDecimal(text.mid(start, end - start)));
        start = end + 1;
    }
    return values;
}
