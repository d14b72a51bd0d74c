#include "session/DecimalText.h"

#include <charconv>
#include <utility>

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
    VectorTextReader reader;
    reader.feed(text);
    return reader.finish();
}

void VectorTextReader::feed(QStringView piece)
{
    qsizetype start = 0;
    for (qsizetype end = piece.indexOf(QLatin1Char(';')); end >= 0; end = piece.indexOf(QLatin1Char(';'), start)) {
        if (carry_.isEmpty()) {
            takePart(piece.mid(start, end - start));
        } else {
            carry_.append(piece.mid(start, end - start));
            takePart(carry_);
            carry_.clear();
        }
        start = end + 1;
    }
    carry_.append(piece.mid(start));
}

QVector<double> VectorTextReader::finish()
{
    takePart(carry_);
    carry_.clear();
    // Growth by appending leaves up to twice the room needed.
    values_.squeeze();
    return std::exchange(values_, {});
}

void VectorTextReader::takePart(QStringView part)
{
    if (!part.isEmpty())
        values_.append(parseDecimal(part));
}
