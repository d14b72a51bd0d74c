#pragma once

#include "acquisition/ScanGroup.h"

#include <QVector>

// One delay index of a position averaged over its scan groups (all but the
// last): per band a wrapper built from the averaged harmonics, with its
// waveforms and IV curve; the low-band wrapper carries the joined curve of
// both bands and the scan record made of it. That record counts the low-band
// frames averaged as its sweeps and holds, per point, their standard
// deviations about it (see CurveScatter.h), from which the analysis estimates
// its errors.
struct AveragedEntry
{
    DelayWrapper low;
    DelayWrapper high;

    ScanRecord* scanRecord() { return low.scanRecord ? &*low.scanRecord : nullptr; }
    const ScanRecord* scanRecord() const { return low.scanRecord ? &*low.scanRecord : nullptr; }
};

// The data taken at one linear-drive position.
class PositionWrapper
{
public:
    // A position is averaged once it holds this many scan groups; the last
    // group, possibly still arriving, is left out of the averages.
    static constexpr int scansForAverages = 3;

    PositionWrapper() = default; // filled by the session file reader
    PositionWrapper(const scanResult& frame, const QDateTime& filedAt);

    // Files a frame into the scan group of its scan number (a new group when
    // there is none). Refuses (false) a frame whose harmonic count differs
    // from the position's.
    bool add(const scanResult& frame, const QDateTime& filedAt);

    // Recomputes `averages` from the scan groups. Entries whose averaged
    // harmonics did not change keep their derived data, and with it any
    // analysis results their scan records hold.
    void rebuildAverages();

    // Number of averaged entries the scan groups give: one per delay index
    // that the first group holds in both bands, once there are enough groups.
    int averagedEntryCount() const;

    // Harmonics of the frames that averaged entry `index` averages in `band`:
    // those at that index of every scan group but the last, in group order.
    QVector<HarmonicSpectrum> averagedSpectra(Band band, int index) const;

    int position = 0;
    int mode = 0;
    int harmonics = 0; // of the first frame
    QVector<ScanGroup> scans;
    QVector<AveragedEntry> averages;

private:
    int scanIndex(int scan) const;
};
