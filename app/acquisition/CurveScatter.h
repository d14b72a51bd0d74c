#pragma once

#include "acquisition/Waveforms.h"
#include "analysis/HarmonicAnalysis.h"

#include <QVector>

// How far the scans averaged into a time step scatter about its IV curve,
// point by point: the standard deviations the analysis shifts the curve by to
// estimate its errors.
//
// Points are paired by drive phase. Point p of the averaged curve has the
// voltage of sample i of the averaged waveforms and the mean current of
// samples i and k (the pair of ivSamplePairs); each scan contributes its own
// voltage at sample i and its own mean current of samples i and k. The
// waveforms are sums over the harmonics, so a scan's waveform differs from the
// averaged one by the synthesis of its harmonics' difference from the averaged
// harmonics: the scatter follows from the harmonics alone.
struct CurveScatter
{
    QVector<double> stdV; // per point, in the order of the pairs
    QVector<double> stdI;
};

// `mean` holds the harmonics averaged over `scans` (values a scan lacks count
// as zero); `pairs` are the averaged curve's. Fewer than two scans give empty
// lists.
CurveScatter curveScatter(const QVector<HarmonicSpectrum>& scans, const HarmonicSpectrum& mean,
                          const QVector<IvSamplePair>& pairs);
