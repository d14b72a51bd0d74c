#include "analysis/Bessel.h"

#include <algorithm>
#include <cmath>

// Miller's backward recurrence I_{k-1} = I_{k+1} + (2k/x)·I_k from an order
// far above the highest one wanted, normalised with the generating function
// at t = 1: I_0(x) + 2·sum_{k>=1} I_k(x) = exp(x). The normalisation gives the
// scaled values directly, without evaluating exp(x). The start lies where the
// terms have fallen far below double precision: I_k/I_0 goes as exp(-k²/2x)
// for large x, below 1e-17 from k = 9·sqrt(x), and as (x/2)^k/k! for small x.
void scaledBesselI(double x, int orders, double* out)
{
    constexpr double rescaleAbove = 1e200;
    const int start = orders + 24 + int(10.0 * std::sqrt(x));
    std::fill(out, out + orders, 0.0);
    double above = 0.0; // I_{k+1}
    double current = 1.0; // I_k, arbitrary scale
    double sum = 0.0;     // 2·sum of I_k for k >= 1 so far
    for (int k = start; k >= 1; --k) {
        const double below = above + (2.0 * k / x) * current; // I_{k-1}
        above = current;
        current = below;
        sum += 2.0 * above;
        if (k - 1 < orders)
            out[k - 1] = current;
        if (std::fabs(current) > rescaleAbove) {
            above /= rescaleAbove;
            current /= rescaleAbove;
            sum /= rescaleAbove;
            for (int n = std::max(k - 1, 0); n < orders; ++n)
                out[n] /= rescaleAbove;
        }
    }
    const double norm = current + sum; // I_0 + 2·sum I_k, at the arbitrary scale
    for (int n = 0; n < orders; ++n)
        out[n] /= norm;
}
