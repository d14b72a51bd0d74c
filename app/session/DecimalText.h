#pragma once

#include <QString>
#include <QStringView>
#include <QVector>

// Number texts of the session file's data: printf "%g" with six significant
// digits in the C locale (shortest of fixed and exponent form, trailing zeros
// dropped, exponent signed with at least two digits: 1e-05, 2.5e+06), and
// vectors as every element followed by ';'.

// Longest text decimalText can produce ("-1.23457e-308" and the like).
constexpr int maxDecimalTextLength = 16;

// Writes the "%g" text of `value` to `out` (room for maxDecimalTextLength
// characters) and returns the number of characters written.
int writeDecimal(char* out, double value);

QString decimalText(double value);

// "1.5;2;-0.25;" for {1.5, 2, -0.25}; empty text for an empty vector.
QByteArray vectorText(const QVector<double>& values);

// A number text as the reader takes it: surrounding white space is allowed,
// and text that is not a number within the range of a double reads as 0.
double parseDecimal(QStringView text);

// Splits at ';', skips empty parts and reads every part with parseDecimal.
QVector<double> parseVectorText(QStringView text);

// parseVectorText for a text that arrives in pieces (an XML reader may hand a
// long text over in several parts), so that no copy of the whole text is made.
class VectorTextReader
{
public:
    void feed(QStringView piece);
    // The values of everything fed; the reader starts afresh.
    QVector<double> finish();

private:
    void takePart(QStringView part);

    QString carry_; // the start of a part whose end has not arrived yet
    QVector<double> values_;
};
