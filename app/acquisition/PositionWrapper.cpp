#include "acquisition/PositionWrapper.h"

#include "acquisition/Waveforms.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// VR, Vi, Ir, Ii of one band.
using HarmonicVectors = std::array<QVector<double>, 4>;

HarmonicVectors harmonicsOf(const DelayWrapper& w)
{
    return {w.VR, w.Vi, w.Ir, w.Ii};
}

// Bit for bit, so that a changed sign of zero is a change too.
bool sameBits(const QVector<double>& a, const QVector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.constData(), b.constData(), sizeof(double) * a.size()) == 0;
}

bool sameHarmonics(const DelayWrapper& w, const HarmonicVectors& h)
{
    return sameBits(w.VR, h[0]) && sameBits(w.Vi, h[1]) && sameBits(w.Ir, h[2]) && sameBits(w.Ii, h[3]);
}

// Harmonics of the wrappers at `index` of one band, averaged element by
// element over every scan group but the last that holds such a wrapper. A
// wrapper shorter than `count` (only a session file can hold one) adds zeros.
HarmonicVectors averagedHarmonics(const QVector<ScanGroup>& scans, Band band, int index, int count)
{
    HarmonicVectors sum;
    for (QVector<double>& v : sum)
        v.fill(0.0, count);
    int used = 0;
    for (int g = 0; g + 1 < scans.size(); ++g) {
        const QVector<DelayWrapper>& list = scans[g].delays(band);
        if (index >= list.size())
            continue;
        const HarmonicVectors values = harmonicsOf(list[index]);
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < count; ++k)
                sum[c][k] += harmonicValue(values[c], k);
        ++used;
    }
    if (used > 0)
        for (QVector<double>& v : sum)
            for (double& x : v)
                x /= used;
    return sum;
}

} // namespace

PositionWrapper::PositionWrapper(const scanResult& frame, const QDateTime& filedAt)
    : position(frame.position), mode(frame.mode), harmonics(frame.harmonics)
{
    scans.append(ScanGroup(frame, filedAt));
}

int PositionWrapper::scanIndex(int scan) const
{
    for (int g = 0; g < scans.size(); ++g)
        if (scans[g].scan == scan)
            return g;
    return -1;
}

bool PositionWrapper::add(const scanResult& frame, const QDateTime& filedAt)
{
    if (frame.harmonics != harmonics)
        return false;
    int group = scanIndex(frame.scan);
    const bool newGroup = group < 0;
    if (newGroup) {
        scans.append(ScanGroup(frame, filedAt));
        group = scans.size() - 1;
    } else {
        scans[group].add(frame, filedAt);
    }
    // The averages leave out the last group: a frame of it changes none of
    // them, while a new group brings the previous last one in.
    if (scans.size() >= scansForAverages && (newGroup || group != scans.size() - 1))
        rebuildAverages();
    return true;
}

int PositionWrapper::averagedEntryCount() const
{
    if (scans.size() < scansForAverages)
        return 0;
    return std::min(scans.first().Delays200.size(), scans.first().Delays400.size());
}

void PositionWrapper::rebuildAverages()
{
    const int count = averagedEntryCount();
    const int harmonicCount = usableHarmonics(harmonics);
    averages.resize(count);
    for (int d = 0; d < count; ++d) {
        HarmonicVectors low = averagedHarmonics(scans, Band::Low, d, harmonicCount);
        HarmonicVectors high = averagedHarmonics(scans, Band::High, d, harmonicCount);
        AveragedEntry& entry = averages[d];
        if (entry.scanRecord() && sameHarmonics(entry.low, low) && sameHarmonics(entry.high, high))
            continue;
        entry.low = DelayWrapper(std::move(low[0]), std::move(low[1]), std::move(low[2]), std::move(low[3]));
        entry.high = DelayWrapper(std::move(high[0]), std::move(high[1]), std::move(high[2]), std::move(high[3]));
        entry.low.combine(entry.high);
        entry.high.scanRecord.reset(); // the entry's record is the joined one
    }
}
