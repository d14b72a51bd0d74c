#pragma once

#include "analysis/HarmonicAnalysis.h"

#include <QDeadlineTimer>

class DelayWrapper;
class LangmuirSettings;
class PositionWrapper;
class measuredData;
struct ScanRecord;
struct TimeStep;

// The harmonic analysis of one frame.
HarmonicResults frameHarmonics(const DelayWrapper& frame, const LangmuirSettings& settings);

// The harmonic analysis of averaged entry `index` of a position: of its
// low-band harmonics (the band whose currents the joined curve keeps and
// whose frames the window shows), with the kTe error from the scatter of the
// low-band frames averaged into it.
HarmonicResults averagedHarmonics(const PositionWrapper& position, int index, const LangmuirSettings& settings);

// Both analyses of a frame's record (which it must have): the IV analysis of
// its curve into its results and error text, `harmonic` beside them; the
// record counts as analysed afterwards.
void analyseRecord(DelayWrapper& frame, HarmonicResults harmonic, const LangmuirSettings& settings);

// Both analyses of averaged entry `index` into its record, which first gets
// the scatter of the scans averaged (for the errors).
void analyseAveragedEntry(PositionWrapper& position, int index, const LangmuirSettings& settings);

// Both analyses of a time step on a copy of its record (which must have one),
// for readers that leave the session as it is.
ScanRecord analysedCopy(const TimeStep& step, const LangmuirSettings& settings);

// Analyses, in order, the records of time steps that have not been analysed,
// until the deadline has passed. Returns whether none is left unanalysed.
bool analysePendingTimeSteps(measuredData& data, const LangmuirSettings& settings, const QDeadlineTimer& deadline);

// Marks every record of the session as not analysed: the settings changed.
void forgetAnalyses(measuredData& data);
