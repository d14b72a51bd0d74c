#include "acquisition/TimeSteps.h"

const ScanRecord* TimeStep::scanRecord() const
{
    if (isAveraged())
        return averaged->scanRecord();
    return frame.scanRecord ? &*frame.scanRecord : nullptr;
}

const QVector<DelayWrapper>& timeStepFrames(const PositionWrapper& position)
{
    static const QVector<DelayWrapper> none;
    if (position.scans.isEmpty())
        return none;
    const ScanGroup& first = position.scans.first();
    // A session taken in the high band only would otherwise show nothing.
    return first.Delays200.isEmpty() ? first.Delays400 : first.Delays200;
}

TimeStep timeStep(const PositionWrapper& position, int index)
{
    return TimeStep{position, index, timeStepFrames(position)[index],
                    index < position.averages.size() ? &position.averages[index] : nullptr};
}

ScanRecord* timeStepRecord(PositionWrapper& position, int index)
{
    // The record belongs to `position`, which is not const here.
    return const_cast<ScanRecord*>(timeStep(position, index).scanRecord());
}

DelayWrapper& timeStepRecordFrame(PositionWrapper& position, int index)
{
    // The wrapper belongs to `position`, which is not const here.
    return const_cast<DelayWrapper&>(timeStep(position, index).recordFrame());
}
