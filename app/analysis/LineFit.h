#pragma once

#include <QtGlobal>

// Least-squares straight line y = slope·x + intercept. The sums are kept as
// offsets from the first point added, which keeps them well conditioned when x
// is a logarithm or a large voltage.
class LineFit
{
public:
    void reset();
    void add(double x, double y);
    // Resets, then adds the n pairs (xs[i], ys[i]).
    void fit(const double* xs, const double* ys, int n);

    // No points: 0; one point: slope 0 through it.
    double slope() const;
    double intercept() const;
    unsigned count() const { return m_count; }
    // Means of the points added (0 when empty).
    double meanX() const;
    double meanY() const;

private:
    void solve() const;

    unsigned m_count = 0;
    double m_x0 = 0, m_y0 = 0;
    // The sums are the record's full second moments; the line itself needs all
    // but sumDy2, which a goodness-of-fit measure would read.
    double m_sumDx = 0, m_sumDy = 0, m_sumDx2 = 0, m_sumDy2 = 0, m_sumDxDy = 0;
    mutable double m_slope = 0, m_intercept = 0;
    mutable bool m_solved = false;
};
