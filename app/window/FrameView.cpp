#include "window/FrameView.h"

#include "acquisition/measuredData.h"

#include <QDebug>
#include <QLoggingCategory>

#include <cmath>

namespace {

Q_LOGGING_CATEGORY(lcTrend, "orvel.window.trend")

template <typename List>
bool holds(const List& list, int index)
{
    return index >= 0 && index < list.size();
}

const ScanGroup* scanGroup(const measuredData& data, int p, int s)
{
    if (!holds(data.positions, p) || !holds(data.positions[p].scans, s))
        return nullptr;
    return &data.positions[p].scans[s];
}

double parameterValue(const results& r, int plotted)
{
    switch (plotted) {
    case trend::Jp:
        return r.Jp;
    case trend::Ni:
        return r.Ni;
    case trend::Ld:
        return r.Ldebye;
    default:
        return r.kTe;
    }
}

} // namespace

FrameView selectFrame(measuredData& data, int p, int s, int d, bool preferAverages)
{
    FrameView view;
    if (!holds(data.positions, p))
        return view;
    PositionWrapper& position = data.positions[p];
    if (preferAverages && holds(position.averages, d) && position.averages[d].scanRecord()) {
        AveragedEntry& entry = position.averages[d];
        view.low = &entry.low;
        view.high = &entry.high;
        view.record = entry.scanRecord();
        view.averaged = true;
        return view;
    }
    if (!holds(position.scans, s))
        return view;
    ScanGroup& group = position.scans[s];
    if (holds(group.Delays200, d)) {
        DelayWrapper& low = group.Delays200[d];
        view.low = &low;
        view.record = low.scanRecord ? &*low.scanRecord : nullptr;
    }
    if (holds(group.Delays400, d))
        view.high = &group.Delays400[d];
    return view;
}

int frameCount(const measuredData& data, int p, int s)
{
    const ScanGroup* group = scanGroup(data, p, s);
    return group ? group->Delays200.size() : 0;
}

namespace trend {

int plottedIndex(int labelIndex)
{
    switch (labelIndex) {
    case Jp:
    case Ni:
    case Ld:
        return labelIndex;
    default:
        return kTe;
    }
}

double displayScale(int labelIndex)
{
    return plottedIndex(labelIndex) == Ld ? 1e6 : 1.0;
}

QVector<QPointF> points(const measuredData& data, int labelIndex)
{
    const int plotted = plottedIndex(labelIndex);
    const double scale = displayScale(plotted);
    QVector<QPointF> result;
    qCDebug(lcTrend) << " Position count = " << data.positions.size();
    for (const PositionWrapper& position : data.positions) {
        qCDebug(lcTrend) << " Frame count = " << position.averages.size();
        for (const AveragedEntry& entry : position.averages) {
            const ScanRecord* record = entry.scanRecord();
            if (!record)
                continue;
            const double value = parameterValue(record->parameters, plotted);
            if (std::isnan(value))
                continue;
            const QPointF point(position.position, value * scale);
            qCDebug(lcTrend) << " X = " << point.x() << "       Y = " << point.y();
            result.append(point);
        }
    }
    return result;
}

} // namespace trend
