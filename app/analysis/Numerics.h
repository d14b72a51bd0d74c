#pragma once

#include <QVector>

// Numerical tools of the probe-curve analysis. None of them allocates beyond
// the result list it fills, and none throws.

// One sample of a probe curve.
struct IvPoint
{
    double current; // A
    double voltage; // V
};

// Samples in acquisition order; the analysis requires rising voltages.
using IvCurve = QVector<IvPoint>;

// dI/dV at a voltage.
struct DerivativePoint
{
    double slope;   // A/V
    double voltage; // V
};

using DerivativeCurve = QVector<DerivativePoint>;

// Windowed first derivative of the first `count` points with half-width N =
// `halfWidth`: output k compares the mean of the N points below input k+N with
// the mean of the N points above it (the centre point takes no part), and sits
// at the mean voltage of those 2N points. `out` is always replaced by exactly
// count − 2N points (none when count < 2N + 1 or N < 1). The sums are formed in
// extended precision and rounded once.
void derivative(const IvPoint* points, int count, DerivativeCurve& out, int halfWidth);
// The derivative of the points of `curve` from index `start` to its end.
void derivative(const IvCurve& curve, int start, DerivativeCurve& out, int halfWidth);

// First index of the final run of points whose currents lie on the same side of
// `level` as the last point's, i.e. the upper point of the last crossing; −1
// when the currents never cross (or the curve holds no number). A NaN last
// current is judged by the nearest earlier number.
int crossingIndexFromEnd(const IvCurve& curve, double level);

// Trapezoidal integral of ys over the ascending xs from a to b, with the values
// at the limits interpolated linearly between their neighbours. The limits are
// held to the range of the samples; fewer than two samples, or b ≤ a, give 0.
double integrate(const double* xs, const double* ys, int n, double a, double b);

// Voltage at which the straight line through p1 and p2 reaches zero current.
// Equal currents (both on zero) give p2's voltage.
double interpolateCrossing(const IvPoint& p1, const IvPoint& p2);
