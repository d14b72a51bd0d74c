#include "acquisition/TimeStepAnalysis.h"

#include "acquisition/TimeSteps.h"
#include "acquisition/measuredData.h"
#include "analysis/PlasmaAnalysis.h"

namespace {

HarmonicResults timeStepHarmonics(const TimeStep& step, const LangmuirSettings& settings)
{
    if (step.isAveraged())
        return averagedHarmonics(step.position, step.index, settings);
    return frameHarmonics(step.frame, settings);
}

} // namespace

HarmonicResults frameHarmonics(const DelayWrapper& frame, const LangmuirSettings& settings)
{
    return analyseHarmonics(frame.spectrum(), settings);
}

HarmonicResults averagedHarmonics(const PositionWrapper& position, int index, const LangmuirSettings& settings)
{
    return analyseAveragedHarmonics(position.averages[index].low.spectrum(),
                                    position.averagedSpectra(Band::Low, index), settings);
}

namespace {

void analyseInPlace(ScanRecord& record, HarmonicResults harmonic, const LangmuirSettings& settings)
{
    analyse(record, settings);
    record.harmonic = std::move(harmonic);
    record.analysed = true;
}

} // namespace

void analyseRecord(DelayWrapper& frame, HarmonicResults harmonic, const LangmuirSettings& settings)
{
    RecordCurve lent(frame);
    analyseInPlace(lent.record(), std::move(harmonic), settings);
}

void analyseAveragedEntry(PositionWrapper& position, int index, const LangmuirSettings& settings)
{
    position.completeScatter(index);
    analyseRecord(position.averages[index].low, averagedHarmonics(position, index, settings), settings);
}

ScanRecord analysedCopy(const TimeStep& step, const LangmuirSettings& settings)
{
    ScanRecord record = step.recordFrame().recordWithCurve();
    if (step.isAveraged())
        step.position.applyScatter(step.index, record);
    analyseInPlace(record, timeStepHarmonics(step, settings), settings);
    return record;
}

bool analysePendingTimeSteps(measuredData& data, const LangmuirSettings& settings, const QDeadlineTimer& deadline)
{
    for (PositionWrapper& position : data.positions) {
        const int count = timeStepFrames(position).size();
        for (int d = 0; d < count; ++d) {
            ScanRecord* record = timeStepRecord(position, d);
            if (!record || record->analysed)
                continue;
            if (deadline.hasExpired())
                return false;
            const TimeStep step = timeStep(position, d);
            if (step.isAveraged())
                analyseAveragedEntry(position, d, settings);
            else
                analyseRecord(timeStepRecordFrame(position, d), frameHarmonics(step.frame, settings), settings);
        }
    }
    return true;
}

void forgetAnalyses(measuredData& data)
{
    for (PositionWrapper& position : data.positions) {
        for (ScanGroup& group : position.scans)
            for (QVector<DelayWrapper>* band : {&group.Delays200, &group.Delays400})
                for (DelayWrapper& frame : *band)
                    if (frame.scanRecord)
                        frame.scanRecord->analysed = false;
        for (AveragedEntry& entry : position.averages)
            if (ScanRecord* record = entry.scanRecord())
                record->analysed = false;
    }
}
