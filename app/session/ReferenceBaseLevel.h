#pragma once

#include "acquisition/measuredData.h"

// The base level a session offers as a reference for later scans: the first
// frame of its first position, averaged over that position's scan groups.
// The average normally leaves out the last scan group, which may still be
// arriving; a position that holds a single scan group gives that group's
// frame rather than nothing. A session without positions gives all zeros.
BaseLevel referenceBaseLevel(const measuredData& data);
