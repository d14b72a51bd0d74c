#pragma once

#include "acquisition/scanResult.h"

#include <QHash>
#include <QPair>
#include <QString>

// The frames an acquisition asked the sensor for, as the scan worker admits
// them: scans numbered 1 to the mode frame's count, and in an averaged scan
// one frame per band for each scan, after each go frame (a spatial scan sends
// one at every position). A
// frame beyond that (a repeat, or one of a scan not asked for) is not filed:
// a stream of them would fill the session and its file without bound. They
// are counted, for one message at the end.
class ExpectedFrames
{
public:
    ExpectedFrames(bool timeResolved, int scans);

    // Whether `frame`, sent after go frame number `go` (from 0), is one the
    // acquisition asked for and has not had yet; counts it among the dropped
    // ones otherwise.
    bool admit(const scanResult& frame, int go);
    int dropped() const { return m_dropped; }

    // The one message about `count` dropped frames, for the operator.
    static QString droppedText(int count);

private:
    bool m_timeResolved;
    int m_scans;
    int m_dropped = 0;
    // Frames admitted per go frame and scan (first) and band (second).
    QHash<QPair<qint64, int>, int> m_admitted;
};
