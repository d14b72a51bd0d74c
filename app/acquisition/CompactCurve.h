#pragma once

#include <QVector>

#include <cstdint>

// A vector of doubles as read from a session file, held in half the memory.
// The file writes every value with six significant digits, and such a value
// is m * 10^e for an integer m below 2^20 and |e| <= 22: both factors are
// exact doubles, so one multiplication or division gives the double back
// correctly rounded, the very value parsing the text gave. Each value is
// kept as a 32-bit code of sign, m and e, checked to give back the same bits
// when it is made; a vector holding any value that cannot be coded so (more
// digits, a far exponent, not a number) is kept as it is.
class CompactCurve
{
public:
    CompactCurve() = default;
    explicit CompactCurve(const QVector<double>& values);

    QVector<double> values() const;

    // Both hold the same values, bit for bit.
    bool sameAs(const CompactCurve& other) const;

private:
    QVector<double> plain_;          // when the values cannot be coded
    QVector<std::uint32_t> codes_;
};
