#include "acquisition/CompactCurve.h"

#include <array>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

constexpr int maxExponent = 22; // 10^22 is the largest power of ten a double holds exactly
constexpr std::uint32_t mantissaBits = 20;
constexpr std::uint32_t mantissaMask = (1u << mantissaBits) - 1;
constexpr std::uint32_t exponentMask = 0x3f;
constexpr std::uint32_t signBit = 1u << 31;

const double* powersOfTen()
{
    static const auto table = [] {
        std::array<double, maxExponent + 1> p{};
        p[0] = 1.0;
        for (int e = 1; e <= maxExponent; ++e)
            p[std::size_t(e)] = p[std::size_t(e - 1)] * 10.0; // exact up to 10^22
        return p;
    }();
    return table.data();
}

double decode(std::uint32_t code)
{
    const double m = double(code & mantissaMask);
    const int e = int((code >> mantissaBits) & exponentMask) - maxExponent;
    const double magnitude = e >= 0 ? m * powersOfTen()[e] : m / powersOfTen()[-e];
    return code & signBit ? -magnitude : magnitude;
}

std::uint32_t codeOf(bool negative, long long m, int e)
{
    return (negative ? signBit : 0u) | (std::uint32_t(e + maxExponent) << mantissaBits) | std::uint32_t(m);
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The code of a six-digit decimal that gives `x` back bit for bit, if any.
std::optional<std::uint32_t> encode(double x)
{
    const bool negative = std::signbit(x);
    const double a = std::fabs(x);
    if (a == 0.0)
        return codeOf(negative, 0, 0);
    if (!std::isfinite(a))
        return std::nullopt;
    // The exponent that leaves six digits before the point; log10 may be one
    // off near a power of ten, so the neighbours are tried too.
    const int sixDigitExponent = int(std::floor(std::log10(a))) - 5;
    for (int e : {sixDigitExponent, sixDigitExponent + 1, sixDigitExponent - 1}) {
        if (e < -maxExponent || e > maxExponent)
            continue;
        const double scaled = e >= 0 ? a / powersOfTen()[e] : a * powersOfTen()[-e];
        const long long m = std::llround(scaled);
        if (m > (long long)mantissaMask)
            continue;
        const std::uint32_t code = codeOf(negative, m, e);
        if (sameBits(decode(code), x))
            return code;
    }
    return std::nullopt;
}

} // namespace

CompactCurve::CompactCurve(const QVector<double>& values)
{
    QVector<std::uint32_t> codes(values.size());
    for (int i = 0; i < values.size(); ++i) {
        const std::optional<std::uint32_t> code = encode(values[i]);
        if (!code) {
            plain_ = values;
            return;
        }
        codes[i] = *code;
    }
    codes_ = std::move(codes);
}

QVector<double> CompactCurve::values() const
{
    if (codes_.isEmpty())
        return plain_;
    QVector<double> out(codes_.size());
    for (int i = 0; i < codes_.size(); ++i)
        out[i] = decode(codes_[i]);
    return out;
}

bool CompactCurve::sameAs(const CompactCurve& other) const
{
    return plain_.size() == other.plain_.size() && codes_.size() == other.codes_.size()
           && std::memcmp(plain_.constData(), other.plain_.constData(), sizeof(double) * size_t(plain_.size())) == 0
           && std::memcmp(codes_.constData(), other.codes_.constData(), sizeof(std::uint32_t) * size_t(codes_.size()))
                  == 0;
}
