#pragma once

#include "acquisition/PositionWrapper.h"

// The time steps of a position, as the session window walks them, the export
// writes them and the trends plot them: the frames of its first scan group in
// the low band ("Delays200"), or in the high band when that group holds no
// low-band frame. Once the position holds more than two scan groups, a time
// step that has an averaged entry is taken from that entry instead.
struct TimeStep
{
    const PositionWrapper& position;
    int index;
    const DelayWrapper& frame;
    const AveragedEntry* averaged; // null before the position is averaged

    double delay() const { return double(frame.delay); } // averaged wrappers carry no delay of their own

    // The step is the averaged entry's (which has a record).
    bool isAveraged() const { return averaged && averaged->scanRecord(); }

    // The record the window analyses for this time step; null when there is none.
    const ScanRecord* scanRecord() const;

    // The wrapper whose curves the IV block writes; an averaged entry's
    // low-band wrapper holds the joined curve of both bands.
    const DelayWrapper& curves() const { return averaged ? averaged->low : frame; }

    // The wrapper that holds scanRecord().
    const DelayWrapper& recordFrame() const { return isAveraged() ? averaged->low : frame; }
};

// The frames a position's time steps come from.
const QVector<DelayWrapper>& timeStepFrames(const PositionWrapper& position);

// Time step `index` (below the count of timeStepFrames) of a position.
TimeStep timeStep(const PositionWrapper& position, int index);

// The record of time step `index`, to be analysed in place; null when there is none.
ScanRecord* timeStepRecord(PositionWrapper& position, int index);
// The wrapper that holds that record.
DelayWrapper& timeStepRecordFrame(PositionWrapper& position, int index);

// Calls `visit` with every time step of the position, in order.
template <typename Visit>
void forEachTimeStep(const PositionWrapper& position, Visit visit)
{
    const int count = timeStepFrames(position).size();
    for (int d = 0; d < count; ++d)
        visit(timeStep(position, d));
}
