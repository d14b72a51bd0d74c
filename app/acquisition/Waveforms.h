#pragma once

#include <QVector>

#include <vector>

// The computations that turn one frame's harmonics into an IV curve, and the
// joining of the two bands' curves. Every function gives, bit for bit, the
// result of the plain loops its comment describes; the implementations only
// avoid work that cannot change that result.

// Samples per synthesised period.
constexpr int waveformSamples = 1000;

// Harmonic value `index` of a vector, zero where the vector ends: a shorter
// vector (a base level, or a frame from a session file) lacks the rest.
inline double harmonicValue(const QVector<double>& values, int index)
{
    return index < values.size() ? values[index] : 0.0;
}

// One period of probe voltage and current from harmonic values (index h - 1 =
// harmonic h): for sample j of N, with theta = 2*j*h*3.141592/N (the constant
// 3.141592, not full pi), V = sqrt(2) * sum over h = 1 .. n-1 of
// VR[h-1]*cos(theta) + Vi[h-1]*sin(theta), and I likewise from Ir and Ii. The
// last of the n values takes no part; n is the longest of the four vectors and
// a shorter vector's missing values count as zero. time[j] = (j+1)/N * 1000/f
// in milliseconds. N below 1 gives empty outputs.
void synthesiseWaveforms(const QVector<double>& VR, const QVector<double>& Vi, const QVector<double>& Ir,
                         const QVector<double>& Ii, int sampleCount, double frequency, QVector<double>& V,
                         QVector<double>& I, QVector<double>& time);

// The samples one point of an IV curve is made of: its voltage is V[first],
// its current the mean of I[first] and I[second].
struct IvSamplePair
{
    int first;
    int second;
};

// The pairs of an IV curve from one period of `sampleCount` voltage samples:
// every sample i < sampleCount/2 whose voltage level is later passed upward,
// first at samples k, k+1 (k > i, V[k] <= V[i] <= V[k+1]), pairs with k.
// Fewer than two samples give none.
QVector<IvSamplePair> ivSamplePairs(const double* V, int sampleCount);

// IV curve from one period: every pair (i, k) of ivSamplePairs gives the point
// (V[i], (I[i] + I[k]) * 0.5), over as many samples as the shorter of V and I
// holds.
void buildIvCurve(const QVector<double>& V, const QVector<double>& I, QVector<double>& ivV, QVector<double>& ivI);

// Crossing search: skipping NaN entries from `start`, if the first value is at
// or below `level`, the first later value at or above it, otherwise the first
// value at or below it; returns the index just before that value, or -1 when
// the end comes first.
int crossingIndex(const QVector<double>& v, double level, int start);

// crossingIndex(v, level, 0) for many levels over one vector, in logarithmic
// time per level.
class CrossingFinder
{
public:
    explicit CrossingFinder(const QVector<double>& v);
    int find(double level) const;

private:
    int firstValid_ = -1;
    double firstValue_ = 0.0;
    // Running maximum and minimum of the values from firstValid_ on (NaN skipped).
    std::vector<double> runningMax_;
    std::vector<double> runningMin_;
};

// The low band's IV curve joined with the high band's, voltages rising.
struct JoinedCurve
{
    QVector<double> V;
    QVector<double> I;
    bool joined = false;
};

// Joins the low-band IV curve (as built: voltages falling) with the high-band
// one, reversed so that the voltages rise. With a and b the zero crossings of
// the two currents (crossingIndex at level 0), the low band's points from a on
// keep their voltages; each point before a is moved down by how much farther
// it lies from its crossing than the high band's point of equal current lies
// from that band's crossing (never up; where the high band has no such point
// the previous shift is kept), and the voltages are forced to rise by at least
// 0.01 from point to point.
// Without a crossing in either curve the low band's curve comes back reversed
// and not joined. Curves whose two vectors differ in length are taken as long
// as the shorter one.
JoinedCurve joinBands(const QVector<double>& lowV, const QVector<double>& lowI, const QVector<double>& highV,
                      const QVector<double>& highI);
