#include "acquisition/Waveforms.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr double synthesisPi = 3.141592;
constexpr double sqrt2 = 1.4142135623730951;

// Every angle of the synthesis comes from this one expression, so that a
// tabulated cosine is the very value the plain loop would compute.
inline double synthesisAngle(int j, int h, int sampleCount)
{
    return 2.0 * j * h * synthesisPi / sampleCount;
}

// The cosines and sines depend only on the sample count and the harmonic;
// every frame uses the same ones.
class TrigTable
{
public:
    static constexpr int maxHarmonic = 15; // the last of 16 values takes no part

    TrigTable()
        : cosines_(std::size_t(maxHarmonic) * waveformSamples), sines_(cosines_.size())
    {
        for (int h = 1; h <= maxHarmonic; ++h)
            fillRow(h, waveformSamples, row(cosines_, h), row(sines_, h));
    }

    static void fillRow(int h, int sampleCount, double* cosines, double* sines)
    {
        for (int j = 0; j < sampleCount; ++j) {
            const double theta = synthesisAngle(j, h, sampleCount);
            cosines[j] = std::cos(theta);
            sines[j] = std::sin(theta);
        }
    }

    const double* cosines(int h) const { return row(cosines_, h); }
    const double* sines(int h) const { return row(sines_, h); }

private:
    static double* row(std::vector<double>& table, int h) { return table.data() + std::size_t(h - 1) * waveformSamples; }
    static const double* row(const std::vector<double>& table, int h)
    {
        return table.data() + std::size_t(h - 1) * waveformSamples;
    }

    std::vector<double> cosines_;
    std::vector<double> sines_;
};

const TrigTable& trigTable()
{
    static const TrigTable table;
    return table;
}

// Adds one harmonic's contribution to every sample; the per-sample order of
// additions (harmonic 1 first) is that of the plain loop.
void addHarmonic(double* V, double* I, int sampleCount, const double* cosines, const double* sines, double vr,
                 double vi, double ir, double ii)
{
    for (int j = 0; j < sampleCount; ++j) {
        V[j] += vr * cosines[j] + vi * sines[j];
        I[j] += ir * cosines[j] + ii * sines[j];
    }
}

// Four samples at a time, processed side by side in vector registers.
typedef double Lanes __attribute__((vector_size(4 * sizeof(double))));
constexpr int laneCount = 4;
static_assert(waveformSamples % laneCount == 0, "the tabulated synthesis runs in whole blocks");

// The tabulated synthesis of all waveformSamples samples. Each block of
// samples keeps its sums in registers while the harmonics stream past; every
// lane does the plain loop's multiplications and additions in its order
// (AVX2 brings no fused multiply-add that could merge them).
__attribute__((target_clones("avx2", "default")))
void synthesiseTabulated(double* V, double* I, int harmonicCount, const double* VR, const double* Vi,
                         const double* Ir, const double* Ii)
{
    const TrigTable& table = trigTable();
    for (int j = 0; j < waveformSamples; j += laneCount) {
        Lanes v = {0, 0, 0, 0}, c = {0, 0, 0, 0};
        for (int h = 1; h < harmonicCount; ++h) {
            Lanes cosines, sines;
            std::memcpy(&cosines, table.cosines(h) + j, sizeof cosines);
            std::memcpy(&sines, table.sines(h) + j, sizeof sines);
            v += VR[h - 1] * cosines + Vi[h - 1] * sines;
            c += Ir[h - 1] * cosines + Ii[h - 1] * sines;
        }
        v *= sqrt2;
        c *= sqrt2;
        std::memcpy(V + j, &v, sizeof v);
        std::memcpy(I + j, &c, sizeof c);
    }
}

bool sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Frames of one band usually report the same frequency, and all averaged data
// use one: keep the last two time axes (one per band) and let the wrappers
// share them instead of holding a copy each.
QVector<double> timeAxis(int sampleCount, double frequency)
{
    struct Cached
    {
        int sampleCount = -1;
        double frequency = 0.0;
        QVector<double> time;
    };
    thread_local Cached cache[2];
    thread_local int nextSlot = 0;
    for (const Cached& c : cache)
        if (c.sampleCount == sampleCount && sameBits(c.frequency, frequency))
            return c.time;

    QVector<double> time(sampleCount);
    for (int j = 0; j < sampleCount; ++j)
        time[j] = (j + 1.0) / sampleCount * 1000.0 / frequency;
    cache[nextSlot] = {sampleCount, frequency, time};
    nextSlot = 1 - nextSlot;
    return time;
}

} // namespace

void synthesiseWaveforms(const QVector<double>& VR, const QVector<double>& Vi, const QVector<double>& Ir,
                         const QVector<double>& Ii, int sampleCount, double frequency, QVector<double>& V,
                         QVector<double>& I, QVector<double>& time)
{
    V.clear();
    I.clear();
    time.clear();
    if (sampleCount < 1)
        return;

    V.resize(sampleCount); // zero-filled
    I.resize(sampleCount);
    const int n = std::max({VR.size(), Vi.size(), Ir.size(), Ii.size()});
    const QVector<double>* inputs[4] = {&VR, &Vi, &Ir, &Ii};
    auto value = [&inputs](int vector, int index) { return harmonicValue(*inputs[vector], index); };

    if (sampleCount == waveformSamples && n - 1 <= TrigTable::maxHarmonic) {
        double values[4][TrigTable::maxHarmonic] = {};
        for (int vector = 0; vector < 4; ++vector)
            for (int k = 0; k < n - 1; ++k)
                values[vector][k] = value(vector, k);
        synthesiseTabulated(V.data(), I.data(), n, values[0], values[1], values[2], values[3]);
    } else {
        const auto samples = std::size_t(sampleCount);
        std::vector<double> cosines(samples), sines(samples);
        for (int h = 1; h < n; ++h) {
            TrigTable::fillRow(h, sampleCount, cosines.data(), sines.data());
            addHarmonic(V.data(), I.data(), sampleCount, cosines.data(), sines.data(), value(0, h - 1),
                        value(1, h - 1), value(2, h - 1), value(3, h - 1));
        }
        for (double& x : V)
            x *= sqrt2;
        for (double& x : I)
            x *= sqrt2;
    }
    time = timeAxis(sampleCount, frequency);
}

QVector<IvSamplePair> ivSamplePairs(const double* v, int m)
{
    QVector<IvSamplePair> pairs;
    if (m < 2)
        return pairs;

    // Only a rising (or flat) step v[k] <= v[k+1] can hold a level, and within
    // a run of such steps the first step that holds it is found by bisection.
    // NaN never belongs to a run, as the plain comparison never holds for it.
    struct Run
    {
        int first, last; // samples; every step first..last-1 rises
    };
    QVarLengthArray<Run, 64> runs;
    for (int k = 0; k + 1 < m;) {
        if (v[k] <= v[k + 1]) {
            const int first = k;
            while (k + 1 < m && v[k] <= v[k + 1])
                ++k;
            runs.append({first, k});
        } else {
            ++k;
        }
    }

    pairs.reserve(m / 2);
    int firstRun = 0;
    for (int i = 0; i < m / 2; ++i) {
        // The search starts at step i + 1: runs ending before it are done.
        while (firstRun < runs.size() && runs[firstRun].last < i + 2)
            ++firstRun;
        const double level = v[i];
        for (int r = firstRun; r < runs.size(); ++r) {
            const int start = std::max(runs[r].first, i + 1);
            const int last = runs[r].last;
            if (!(v[start] <= level && level <= v[last]))
                continue;
            // First sample after `start` at or above the level; the step
            // before it is the first one holding the level.
            const int k = int(std::lower_bound(v + start + 1, v + last + 1, level) - v) - 1;
            pairs.append({i, k});
            break;
        }
    }
    return pairs;
}

void buildIvCurve(const QVector<double>& V, const QVector<double>& I, QVector<double>& ivV, QVector<double>& ivI)
{
    const QVector<IvSamplePair> pairs = ivSamplePairs(V.constData(), std::min(V.size(), I.size()));
    ivV.resize(pairs.size());
    ivI.resize(pairs.size());
    double* outV = ivV.data();
    double* outI = ivI.data();
    for (const IvSamplePair& p : pairs) {
        *outV++ = V[p.first];
        *outI++ = (I[p.first] + I[p.second]) * 0.5;
    }
}

int crossingIndex(const QVector<double>& v, double level, int start)
{
    const int n = v.size();
    int i = std::max(start, 0);
    while (i < n && std::isnan(v[i]))
        ++i;
    if (i >= n)
        return -1;
    if (v[i] <= level) {
        while (i < n && !(v[i] >= level))
            ++i;
    } else {
        while (i < n && !(v[i] <= level))
            ++i;
    }
    return i < n ? i - 1 : -1;
}

CrossingFinder::CrossingFinder(const QVector<double>& v)
{
    const int n = v.size();
    int i = 0;
    while (i < n && std::isnan(v[i]))
        ++i;
    if (i >= n)
        return;
    firstValid_ = i;
    firstValue_ = v[i];
    runningMax_.reserve(std::size_t(n - i));
    runningMin_.reserve(std::size_t(n - i));
    double hi = firstValue_, lo = firstValue_;
    for (; i < n; ++i) {
        // A NaN is neither at or above nor at or below any level: it leaves
        // the running extremes as they are.
        if (v[i] > hi)
            hi = v[i];
        if (v[i] < lo)
            lo = v[i];
        runningMax_.push_back(hi);
        runningMin_.push_back(lo);
    }
}

int CrossingFinder::find(double level) const
{
    if (firstValid_ < 0)
        return -1;
    // The first value at or above the level is where the running maximum
    // first reaches it (and likewise below with the minimum).
    const bool rising = firstValue_ <= level;
    const std::vector<double>& extremes = rising ? runningMax_ : runningMin_;
    const auto found = std::partition_point(extremes.begin(), extremes.end(), [rising, level](double x) {
        return rising ? !(x >= level) : !(x <= level);
    });
    if (found == extremes.end())
        return -1;
    return firstValid_ + int(found - extremes.begin()) - 1;
}

JoinedCurve joinBands(const QVector<double>& lowV, const QVector<double>& lowI, const QVector<double>& highV,
                      const QVector<double>& highI)
{
    const QVector<double> V = lowV.mid(0, std::min(lowV.size(), lowI.size()));
    const QVector<double> I = lowI.mid(0, V.size());
    const QVector<double> W = highV.mid(0, std::min(highV.size(), highI.size()));
    const QVector<double> J = highI.mid(0, W.size());
    const int m = V.size();

    JoinedCurve out;
    out.I.reserve(m);
    for (int idx = m - 1; idx >= 0; --idx)
        out.I.append(I[idx]);
    out.V.reserve(m);

    const int a = crossingIndex(I, 0.0, 0);
    const int b = crossingIndex(J, 0.0, 0);
    if (a == -1 || b == -1) {
        for (int idx = m - 1; idx >= 0; --idx)
            out.V.append(V[idx]);
        return out;
    }

    const double V0 = V[a];
    const double W0 = W[b];
    for (int idx = m - 1; idx >= a; --idx)
        out.V.append(V[idx]);
    const CrossingFinder highCrossing(J);
    double correction = 0.0;
    for (int idx = a - 1; idx >= 0; --idx) {
        const int k = highCrossing.find(I[idx]);
        if (k > 0)
            correction = std::max(0.0, (V[idx] - V0) - (W[k] - W0));
        const double candidate = V[idx] - correction;
        const double last = out.V.last();
        out.V.append(candidate > last ? candidate : last + 0.01);
    }
    out.joined = true;
    return out;
}
