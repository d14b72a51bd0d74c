#include "acquisition/PositionWrapper.h"

#include "acquisition/CurveScatter.h"
#include "acquisition/Waveforms.h"

#include <algorithm>
#include <cstring>

namespace {

// Bit for bit, so that a changed sign of zero is a change too.
bool sameBits(const QVector<double>& a, const QVector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.constData(), b.constData(), sizeof(double) * a.size()) == 0;
}

bool sameHarmonics(const DelayWrapper& w, const HarmonicSpectrum& h)
{
    return sameBits(w.VR, h.VR) && sameBits(w.Vi, h.Vi) && sameBits(w.Ir, h.Ir) && sameBits(w.Ii, h.Ii);
}

// The spectra averaged element by element, each vector `count` long. A
// spectrum shorter than that (only a session file can hold one) adds zeros.
HarmonicSpectrum averaged(const QVector<HarmonicSpectrum>& spectra, int count)
{
    HarmonicSpectrum sum;
    for (QVector<double> HarmonicSpectrum::*part : HarmonicSpectrum::parts) {
        QVector<double>& total = sum.*part;
        total.fill(0.0, count);
        for (const HarmonicSpectrum& s : spectra)
            for (int k = 0; k < count; ++k)
                total[k] += harmonicValue(s.*part, k);
        if (!spectra.isEmpty())
            for (double& x : total)
                x /= spectra.size();
    }
    return sum;
}

DelayWrapper wrapperOf(HarmonicSpectrum h)
{
    return DelayWrapper(std::move(h.VR), std::move(h.Vi), std::move(h.Ir), std::move(h.Ii));
}

QVector<double> reversed(const QVector<double>& v)
{
    return QVector<double>(v.crbegin(), v.crend());
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
    if (scans.size() < scansForAverages)
        return true;
    // The averages leave out the last group: a frame of it changes none of
    // them, while a new group brings the previous last one in, changing them
    // all. A frame of an earlier group changes the entry at its own index.
    if (newGroup)
        rebuildAverages();
    else if (group != scans.size() - 1)
        rebuildAverage(scans[group].delays(bandOf(frame.freq)).size() - 1);
    return true;
}

int PositionWrapper::averagedEntryCount() const
{
    if (scans.size() < scansForAverages)
        return 0;
    return std::min(scans.first().Delays200.size(), scans.first().Delays400.size());
}

QVector<HarmonicSpectrum> PositionWrapper::averagedSpectra(Band band, int index) const
{
    QVector<HarmonicSpectrum> spectra;
    for (int g = 0; g + 1 < scans.size(); ++g) {
        const QVector<DelayWrapper>& list = scans[g].delays(band);
        if (index < list.size())
            spectra.append(list[index].spectrum());
    }
    return spectra;
}

void PositionWrapper::rebuildAverages()
{
    const int count = averagedEntryCount();
    averages.resize(count);
    for (int d = 0; d < count; ++d)
        updateEntry(d);
}

void PositionWrapper::rebuildAverage(int index)
{
    const int count = averagedEntryCount();
    if (count != averages.size()) {
        rebuildAverages();
        return;
    }
    if (index >= 0 && index < count)
        updateEntry(index);
}

void PositionWrapper::updateEntry(int d)
{
    const int harmonicCount = usableHarmonics(harmonics);
    const QVector<HarmonicSpectrum> lowScans = averagedSpectra(Band::Low, d);
    HarmonicSpectrum low = averaged(lowScans, harmonicCount);
    HarmonicSpectrum high = averaged(averagedSpectra(Band::High, d), harmonicCount);
    AveragedEntry& entry = averages[d];
    if (entry.scanRecord() && entry.scansAveraged == lowScans.size() && sameHarmonics(entry.low, low)
        && sameHarmonics(entry.high, high))
        return;
    entry.low = wrapperOf(std::move(low));
    entry.high = wrapperOf(std::move(high));
    entry.low.combine(entry.high);
    entry.high.scanRecord.reset(); // the entry's record is the joined one
    entry.scansAveraged = lowScans.size();
    entry.scatterApplied = false;
}

// The record's points are the low band's curve in reverse order (joined or not).
void PositionWrapper::applyScatter(int index, ScanRecord& record) const
{
    const DelayWrapper& low = averages[index].low;
    const QVector<HarmonicSpectrum> frames = averagedSpectra(Band::Low, index);
    const QVector<double> waveFormV = low.waveFormV();
    const QVector<IvSamplePair> pairs = ivSamplePairs(waveFormV.constData(), waveFormV.size());
    const CurveScatter scatter = curveScatter(frames, low.spectrum(), pairs);
    record.sweepCount = std::max(int(frames.size()), 1);
    record.stdV = reversed(scatter.stdV);
    record.stdI = reversed(scatter.stdI);
}

void PositionWrapper::completeScatter(int index)
{
    AveragedEntry& entry = averages[index];
    if (entry.scatterApplied || !entry.scanRecord())
        return;
    applyScatter(index, *entry.scanRecord());
    entry.scatterApplied = true;
}
