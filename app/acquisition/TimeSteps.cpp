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
    DelayWrapper& frame = timeStepRecordFrame(position, index);
    return frame.scanRecord ? &*frame.scanRecord : nullptr;
}

DelayWrapper& timeStepRecordFrame(PositionWrapper& position, int index)
{
    // Reached through the lists' non-const access, so that data shared with
    // a copy (a session being saved on its own thread) are detached
    // before they are changed.
    if (timeStep(position, index).isAveraged())
        return position.averages[index].low;
    ScanGroup& first = position.scans.first();
    return first.Delays200.isEmpty() ? first.Delays400[index] : first.Delays200[index];
}
