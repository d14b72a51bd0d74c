#pragma once

#include "acquisition/scanResult.h"
#include "analysis/HarmonicAnalysis.h"
#include "analysis/ScanRecord.h"

#include <QDateTime>
#include <QVector>

#include <optional>

// One frame and what is derived from it: its harmonics, one period of voltage
// and current, the IV curve built from them and the scan record the analysis
// works on. Averaged data of a position use the same record (built from four
// averaged harmonic vectors).
class DelayWrapper
{
public:
    // Synthesis frequency of wrappers built from averaged harmonics; only the
    // time axis depends on it.
    static constexpr double averagedFrequency = 10000.0;

    // Empty wrapper, filled by the session file reader.
    DelayWrapper() = default;

    // Files one frame (after any base-level subtraction); its scan record is
    // stamped with `filedAt`, the frame's position and its delay.
    DelayWrapper(const scanResult& frame, const QDateTime& filedAt);

    // Averaged harmonics of one band.
    DelayWrapper(QVector<double> VR, QVector<double> Vi, QVector<double> Ir, QVector<double> Ii);

    // Joins this (low-band) wrapper's IV curve with the high-band wrapper's and
    // gives this wrapper a fresh scan record of the joined curve. The waveforms
    // are left alone: they were synthesised from these harmonics and take no
    // part in the join.
    void combine(const DelayWrapper& other);

    // The four harmonic vectors.
    HarmonicSpectrum spectrum() const { return {VR, Vi, Ir, Ii}; }

    float delay = 0.0f; // microseconds
    double freq = 0.0;  // Hz
    int harmonics = 0;
    QVector<double> VR, Vi, Ir, Ii;
    QVector<double> WaveFormV, WaveFormI, time;
    QVector<double> VIx, VIy;             // IV curve: voltage, current
    QVector<double> joinedVIx, joinedVIy; // curve of the last band combination; empty before one
    bool joined = false;
    std::optional<ScanRecord> scanRecord;

private:
    void deriveCurve(); // waveforms at `freq`, IV curve and a fresh scan record
};

// A scan record holding the given IV curve reversed, so that its voltages rise.
ScanRecord scanRecordFromIvCurve(const QVector<double>& ivV, const QVector<double>& ivI);
