#pragma once

// Modified Bessel functions of the first kind, scaled by exp(-x) so that they
// stay finite for every x the harmonic analysis meets: out[n] = exp(-x)·I_n(x)
// for n = 0 ... orders - 1. Needs x > 0 and orders >= 1. Ratios I_n/I_m are
// those of the scaled values.
void scaledBesselI(double x, int orders, double* out);
