#include "analysis/Numerics.h"

#include <algorithm>
#include <cmath>

void derivative(const IvPoint* points, int count, DerivativeCurve& out, int halfWidth)
{
    const int n = halfWidth;
    // In 64 bits: a half-width read from a file may be as large as an int goes.
    const int resultCount = n >= 1 && count > 2LL * n ? count - 2 * n : 0;
    out.resize(std::max(resultCount, 0));
    DerivativePoint* result = out.data();
    for (int k = 0; k < resultCount; ++k) {
        long double lowerI = 0, lowerV = 0, upperI = 0, upperV = 0;
        const IvPoint* lower = points + k;
        const IvPoint* upper = points + k + n + 1;
        for (int j = 0; j < n; ++j) {
            lowerI += lower[j].current;
            lowerV += lower[j].voltage;
            upperI += upper[j].current;
            upperV += upper[j].voltage;
        }
        result[k].slope = double((upperI - lowerI) / (upperV - lowerV));
        result[k].voltage = double((lowerV + upperV) / n * 0.5L);
    }
}

void derivative(const IvCurve& curve, int start, DerivativeCurve& out, int halfWidth)
{
    start = std::clamp(start, 0, int(curve.size()));
    derivative(curve.constData() + start, curve.size() - start, out, halfWidth);
}

int crossingIndexFromEnd(const IvCurve& curve, double level)
{
    const int last = curve.size() - 1;
    int reference = last;
    while (reference >= 0 && std::isnan(curve[reference].current))
        --reference;
    if (reference < 0)
        return -1;

    if (curve[reference].current > level) {
        for (int j = last - 1; j >= 0; --j) {
            if (curve[j].current <= level)
                return j + 1;
        }
        return -1;
    }
    if (curve[last].current >= level)
        return last;
    for (int j = last - 1; j >= 0; --j) {
        if (curve[j].current >= level)
            return j + 1;
    }
    return -1;
}

namespace {

// Value at x on the straight line through samples i and i + 1 (xs[i] < xs[i+1]).
double interpolateAt(const double* xs, const double* ys, int i, double x)
{
    return ys[i] + (ys[i + 1] - ys[i]) * (x - xs[i]) / (xs[i + 1] - xs[i]);
}

} // namespace

double integrate(const double* xs, const double* ys, int n, double a, double b)
{
    if (n < 2)
        return 0;
    a = std::max(a, xs[0]);
    b = std::min(b, xs[n - 1]);
    if (!(b > a))
        return 0;

    // First sample above a, so that xs[i - 1] <= a < xs[i]. The bounds keep
    // unsorted or NaN abscissae from leading the walk off the samples.
    int i = 1;
    while (i < n - 1 && !(xs[i] > a))
        ++i;
    double x = a;
    double y = interpolateAt(xs, ys, i - 1, a);
    double sum = 0;
    for (; i < n - 1 && xs[i] < b; ++i) {
        sum += 0.5 * (y + ys[i]) * (xs[i] - x);
        x = xs[i];
        y = ys[i];
    }
    // Now xs[i - 1] < b <= xs[i].
    return sum + 0.5 * (y + interpolateAt(xs, ys, i - 1, b)) * (b - x);
}

double interpolateCrossing(const IvPoint& p1, const IvPoint& p2)
{
    if (p1.current == p2.current)
        return p2.voltage;
    return (p2.voltage * p1.current - p1.voltage * p2.current) / (p1.current - p2.current);
}
