#include "acquisition/CurveScatter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Only the time axis of a synthesis depends on the frequency; none is kept here.
constexpr double anyFrequency = 1000.0;

// Each scan's harmonics less the mean ones, over the mean's length.
QVector<HarmonicSpectrum> deviations(const QVector<HarmonicSpectrum>& scans, const HarmonicSpectrum& mean)
{
    QVector<HarmonicSpectrum> out(scans.size());
    for (int s = 0; s < scans.size(); ++s) {
        for (QVector<double> HarmonicSpectrum::*part : HarmonicSpectrum::parts) {
            const QVector<double>& average = mean.*part;
            QVector<double>& d = out[s].*part;
            d.resize(average.size());
            for (int k = 0; k < average.size(); ++k)
                d[k] = harmonicValue(scans[s].*part, k) - average[k];
        }
    }
    return out;
}

// Lower Cholesky factor of a symmetric positive semidefinite matrix (n×n,
// row-major); a pivot that rounding leaves at or below zero gives a zero column.
std::vector<double> semidefiniteCholesky(const std::vector<double>& a, int n)
{
    std::vector<double> l(a.size(), 0.0);
    double largest = 0;
    for (int j = 0; j < n; ++j)
        largest = std::max(largest, a[j * n + j]);
    const double negligible = 1e-13 * largest;
    for (int j = 0; j < n; ++j) {
        double pivot = a[j * n + j];
        for (int k = 0; k < j; ++k)
            pivot -= l[j * n + k] * l[j * n + k];
        if (pivot <= negligible)
            continue;
        const double root = std::sqrt(pivot);
        l[j * n + j] = root;
        for (int i = j + 1; i < n; ++i) {
            double sum = a[i * n + j];
            for (int k = 0; k < j; ++k)
                sum -= l[i * n + k] * l[j * n + k];
            l[i * n + j] = sum / root;
        }
    }
    return l;
}

// With more scans than coefficients, as many rows as coefficients that give
// every sum of squares the scans give: the coefficients c of the harmonics
// that take part in the synthesis (real and imaginary parts of 1 ... n-1),
// G = sum over scans of c·c^T = L·L^T, and row r is column r of L. Voltage and
// current have a factor each and share the rows.
QVector<HarmonicSpectrum> equivalentRows(const QVector<HarmonicSpectrum>& deviations, int harmonics)
{
    const int taking = std::max(harmonics - 1, 0);
    const int n = 2 * taking;
    QVector<HarmonicSpectrum> rows(n);
    for (HarmonicSpectrum& row : rows)
        for (QVector<double> HarmonicSpectrum::*part : HarmonicSpectrum::parts)
            (row.*part).fill(0.0, harmonics);

    const std::pair<QVector<double> HarmonicSpectrum::*, QVector<double> HarmonicSpectrum::*> quantities[] = {
        {&HarmonicSpectrum::VR, &HarmonicSpectrum::Vi}, {&HarmonicSpectrum::Ir, &HarmonicSpectrum::Ii}};
    std::vector<double> c(n);
    for (const auto& [real, imaginary] : quantities) {
        std::vector<double> gram(std::size_t(n) * n, 0.0);
        for (const HarmonicSpectrum& d : deviations) {
            std::copy_n((d.*real).constData(), taking, c.begin());
            std::copy_n((d.*imaginary).constData(), taking, c.begin() + taking);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j <= i; ++j)
                    gram[i * n + j] += c[i] * c[j];
        }
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j)
                gram[i * n + j] = gram[j * n + i];
        const std::vector<double> factor = semidefiniteCholesky(gram, n);
        for (int r = 0; r < n; ++r)
            for (int i = 0; i < taking; ++i) {
                (rows[r].*real)[i] = factor[i * n + r];
                (rows[r].*imaginary)[i] = factor[(taking + i) * n + r];
            }
    }
    return rows;
}

} // namespace

CurveScatter curveScatter(const QVector<HarmonicSpectrum>& scans, const HarmonicSpectrum& mean,
                          const QVector<IvSamplePair>& pairs)
{
    CurveScatter scatter;
    if (scans.size() < 2)
        return scatter;
    const int harmonics = mean.VR.size();
    QVector<HarmonicSpectrum> rows = deviations(scans, mean);
    // Each row costs a synthesis of the waveforms; many scans are cheaper as
    // the rows of an equivalent factor.
    if (rows.size() > 2 * harmonics)
        rows = equivalentRows(rows, harmonics);

    QVector<double> varianceV(pairs.size(), 0.0), varianceI(pairs.size(), 0.0);
    QVector<double> V, I, time;
    for (const HarmonicSpectrum& row : rows) {
        synthesiseWaveforms(row.VR, row.Vi, row.Ir, row.Ii, waveformSamples, anyFrequency, V, I, time);
        for (int p = 0; p < pairs.size(); ++p) {
            const double voltage = V[pairs[p].first];
            const double current = 0.5 * (I[pairs[p].first] + I[pairs[p].second]);
            varianceV[p] += voltage * voltage;
            varianceI[p] += current * current;
        }
    }
    const double dof = scans.size() - 1;
    scatter.stdV.resize(pairs.size());
    scatter.stdI.resize(pairs.size());
    for (int p = 0; p < pairs.size(); ++p) {
        scatter.stdV[p] = std::sqrt(varianceV[p] / dof);
        scatter.stdI[p] = std::sqrt(varianceI[p] / dof);
    }
    return scatter;
}
