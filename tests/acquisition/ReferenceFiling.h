#pragma once

// The filing of frames written as plainly as it is described: every loop
// literal, the averages rebuilt after every accepted frame once a position
// holds three scans, the band combination recomputing its waveforms, the
// scatter of the averaged scans taken from each scan's own waveforms. The
// product's filing must match it bit for bit, the scatter to rounding.

#include "acquisition/measuredData.h"

#include <QDateTime>
#include <QVector>

namespace reference {

void synthesise(const QVector<double>& VR, const QVector<double>& Vi, const QVector<double>& Ir,
                const QVector<double>& Ii, int N, double f, QVector<double>& V, QVector<double>& I,
                QVector<double>& t);
void buildIv(const QVector<double>& V, const QVector<double>& I, QVector<double>& ivV, QVector<double>& ivI);
int crossing(const QVector<double>& v, double level, int start);

struct Wrapper
{
    Wrapper() = default;
    Wrapper(const scanResult& r, const QDateTime& filedAt);
    Wrapper(const QVector<double>& VR, const QVector<double>& Vi, const QVector<double>& Ir,
            const QVector<double>& Ii);
    void combine(const Wrapper& other);

    float delay = 0;
    double freq = 0;
    int harmonics = 0;
    QVector<double> VR, Vi, Ir, Ii, WaveFormV, WaveFormI, time, VIx, VIy, joinedVIx, joinedVIy;
    bool joined = false;
    ScanRecord record;
};

struct Entry
{
    QVector<double> lowVR, lowVi, lowIr, lowIi, highVR, highVi, highIr, highIi;
    QVector<double> lowWaveV, lowWaveI, highWaveV, highWaveI;
    QVector<double> lowIvV, lowIvI, highIvV, highIvI;
    QVector<double> joinedV, joinedI;
    ScanRecord record;
};

struct Group
{
    int scan = 0;
    QVector<Wrapper> d200, d400;
};

struct Position
{
    int position = 0, mode = 0, harmonics = 0;
    QVector<Group> scans;
    QVector<Entry> averages;

    bool add(const scanResult& r, const QDateTime& filedAt);
    void rebuild();
    void setScatter(Entry& e, int d) const;
};

struct Model
{
    bool baseLevelSet = false;
    BaseLevel base;
    QVector<Position> positions;

    bool add(scanResult r, const QDateTime& filedAt);
};

// Empty when `model` holds bit for bit what `reference` holds; otherwise a
// description of the first difference.
QString difference(const measuredData& model, const Model& reference);

} // namespace reference
