#pragma once

#include "acquisition/ScanGroup.h"

#include <QVector>

// One delay index of a position averaged over its scan groups (all but the
// last): per band a wrapper built from the averaged harmonics, with its
// waveforms and IV curve; the low-band wrapper carries the joined curve of
// both bands and the scan record made of it.
//
// The record's error estimate needs the scatter of the low-band frames
// averaged (see CurveScatter.h): it costs a synthesis per scan, so it is
// worked out when the record is about to be analysed, not at every rebuild
// (PositionWrapper::completeScatter). Until then the record counts one sweep,
// and an analysis of it reports no errors rather than wrong ones.
struct AveragedEntry
{
    DelayWrapper low;
    DelayWrapper high;
    int scansAveraged = 0;       // low-band frames
    bool scatterApplied = false; // the record holds their scatter

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
    // Recomputes the averaged entry at `index` alone (all of them when their
    // number changed).
    void rebuildAverage(int index);

    // Number of averaged entries the scan groups give: one per delay index
    // that the first group holds in both bands, once there are enough groups.
    int averagedEntryCount() const;

    // Harmonics of the frames that averaged entry `index` averages in `band`:
    // those at that index of every scan group but the last, in group order.
    QVector<HarmonicSpectrum> averagedSpectra(Band band, int index) const;

    // Gives `record` (averaged entry `index`'s, or a copy of it) the number of
    // low-band frames averaged into the entry as its sweep count and their
    // standard deviations about its curve, point by point.
    void applyScatter(int index, ScanRecord& record) const;
    // applyScatter into the entry's own record, unless it holds it already.
    void completeScatter(int index);

    int position = 0;
    int mode = 0;
    int harmonics = 0; // of the first frame
    QVector<ScanGroup> scans;
    QVector<AveragedEntry> averages;

private:
    int scanIndex(int scan) const;
    void updateEntry(int index);
};
