#include "session/ReferenceBaseLevel.h"

BaseLevel referenceBaseLevel(const measuredData& data)
{
    if (data.positions.isEmpty() || data.positions.first().scans.size() != 1)
        return data.baseLevelCandidates(0);
    // The candidates skip the last group: behind an empty stand-in for it, the
    // lone group counts, under the same rules for unusable values.
    measuredData single;
    single.positions.append(data.positions.first());
    single.positions.first().scans.append(ScanGroup());
    return single.baseLevelCandidates(0);
}
