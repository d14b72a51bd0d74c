#include "acquisition/measuredData.h"

#include "acquisition/Waveforms.h"

#include <QDebug>

#include <cmath>

namespace {

constexpr int baseLevelValues = 16;
// A first value above this marks a frame that cannot serve as a base level.
constexpr double baseLevelCeiling = 500000.0;

} // namespace

bool measuredData::add(const scanResult& frame)
{
    return add(frame, QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch()));
}

bool measuredData::add(const scanResult& frame, const QDateTime& filedAt)
{
    if (frame.freq == 0.0)
        return false;
    scanResult filed = frame;
    if (baseLevelSet)
        subtractBaseLevel(filed);
    for (PositionWrapper& p : positions)
        if (p.position == filed.position)
            return p.add(filed, filedAt);
    positions.append(PositionWrapper(filed, filedAt));
    return true;
}

void measuredData::subtractBaseLevel(scanResult& frame) const
{
    const bool low = bandOf(frame.freq) == Band::Low;
    const QVector<double>& Ir = baseLevel[low ? BaseLowIr : BaseHighIr];
    const QVector<double>& Ii = baseLevel[low ? BaseLowIi : BaseHighIi];
    // Over the values the frame's wrapper will hold; a shorter base level
    // lacks the rest and subtracts nothing there.
    const int count = usableHarmonics(frame.harmonics);
    for (int k = 0; k < count; ++k) {
        frame.Ir[k] -= harmonicValue(Ir, k);
        frame.Ii[k] -= harmonicValue(Ii, k);
    }
}

void measuredData::setBaseLevel(const BaseLevel& level)
{
    baseLevel = level;
    baseLevelSet = true;
    qDebug() << "Base Level set :" << baseLevelSet;
}

void measuredData::clearBaseLevel()
{
    baseLevelSet = false;
}

int measuredData::frameCount() const
{
    int frames = 0;
    for (const PositionWrapper& position : positions)
        for (const ScanGroup& group : position.scans)
            frames += group.Delays200.size() + group.Delays400.size();
    return frames;
}

BaseLevel measuredData::baseLevelCandidates(int positionIndex) const
{
    BaseLevel sums;
    for (QVector<double>& v : sums)
        v.fill(0.0, baseLevelValues);
    if (positionIndex < 0 || positionIndex >= positions.size())
        return sums;

    const QVector<ScanGroup>& scans = positions[positionIndex].scans;
    for (int vector = 0; vector < int(sums.size()); ++vector) {
        const bool low = vector < BaseHighVR;
        const int component = (low ? ScanGroup::LowVR : ScanGroup::HighVR) + vector % 4;
        int used = 0;
        for (int g = 0; g + 1 < scans.size(); ++g) {
            if (scans[g].delays(low ? Band::Low : Band::High).isEmpty())
                continue;
            const QVector<double> values = scans[g].component(component, 0);
            if (values.isEmpty() || values.first() > baseLevelCeiling || std::isnan(values.first()))
                continue;
            for (int k = 0; k < baseLevelValues; ++k)
                sums[vector][k] += harmonicValue(values, k);
            ++used;
        }
        if (used > 0)
            for (double& x : sums[vector])
                x /= used;
    }
    return sums;
}
