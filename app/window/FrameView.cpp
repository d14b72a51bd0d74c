#include "window/FrameView.h"

#include "acquisition/TimeStepAnalysis.h"
#include "acquisition/TimeSteps.h"
#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"

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

double parameterValue(const ScanRecord& record, int plotted)
{
    switch (plotted) {
    case trend::Jp:
        return record.parameters.Jp;
    case trend::Ni:
        return record.parameters.Ni;
    case trend::Ld:
        return record.parameters.Ldebye;
    case trend::kTeHarmonic:
        return record.harmonic.kTe;
    case trend::IisHarmonic:
        return record.harmonic.ionCurrent;
    case trend::NiHarmonic:
        return record.harmonic.ionDensity;
    default:
        return record.parameters.kTe;
    }
}

} // namespace

FrameView selectFrame(measuredData& data, int p, int s, int d, bool preferAverages)
{
    FrameView view;
    if (!holds(data.positions, p))
        return view;
    PositionWrapper& position = data.positions[p];
    view.position = &position;
    view.index = d;
    if (preferAverages && holds(position.averages, d) && position.averages[d].scanRecord()) {
        AveragedEntry& entry = position.averages[d];
        view.low = &entry.low;
        view.high = &entry.high;
        view.record = entry.scanRecord();
        view.recordFrame = &entry.low;
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
        view.recordFrame = &low;
    }
    if (holds(group.Delays400, d))
        view.high = &group.Delays400[d];
    return view;
}

void analyseFrameView(const FrameView& view, const LangmuirSettings& settings)
{
    if (view.averaged)
        analyseAveragedEntry(*view.position, view.index, settings);
    else
        analyseRecord(*view.recordFrame, frameHarmonics(*view.low, settings), settings);
}

int frameCount(const measuredData& data, int p, int s)
{
    const ScanGroup* group = scanGroup(data, p, s);
    return group ? group->Delays200.size() : 0;
}

namespace trend {

int plottedIndex(int index)
{
    switch (index) {
    case Jp:
    case Ni:
    case Ld:
    case kTeHarmonic:
    case IisHarmonic:
    case NiHarmonic:
        return index;
    default:
        return kTe;
    }
}

QString label(int index)
{
    switch (plottedIndex(index)) {
    case kTeHarmonic:
        return QStringLiteral("Harmonic kTe (eV)");
    case IisHarmonic:
        return QStringLiteral("Harmonic Iis (A)");
    case NiHarmonic:
        return QStringLiteral("Harmonic Ni (m^-3)");
    default:
        return results::parameterLabel(plottedIndex(index));
    }
}

double displayScale(int index)
{
    return plottedIndex(index) == Ld ? 1e6 : 1.0;
}

bool overDelay(const measuredData& data)
{
    for (const PositionWrapper& position : data.positions)
        if (timeStepFrames(position).size() > 1)
            return true;
    return false;
}

QVector<QPointF> points(const measuredData& data, int index)
{
    const int plotted = plottedIndex(index);
    const double scale = displayScale(plotted);
    const bool byDelay = overDelay(data);
    QVector<QPointF> result;
    qCDebug(lcTrend) << " Position count = " << data.positions.size();
    for (const PositionWrapper& position : data.positions) {
        qCDebug(lcTrend) << " Frame count = " << timeStepFrames(position).size();
        forEachTimeStep(position, [&](const TimeStep& step) {
            const ScanRecord* record = step.scanRecord();
            if (!record || !record->analysed)
                return;
            const double value = parameterValue(*record, plotted);
            if (std::isnan(value))
                return;
            const QPointF point(byDelay ? step.delay() : position.position, value * scale);
            qCDebug(lcTrend) << " X = " << point.x() << "       Y = " << point.y();
            result.append(point);
        });
    }
    return result;
}

} // namespace trend
