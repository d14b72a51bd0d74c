#pragma once

#include <QString>
#include <QtGlobal>

class measuredData;

// How far an acquisition has come, as the session's data show it: the scans
// it asked for at each position (one position unless spatial), and the scan
// groups filed so far. The scan being filed counts as begun, not done, until
// the next one begins.
struct ScanProgress
{
    int scans = 0;
    int positions = 1;
    int positionsBegun = 0;
    int scansBegun = 0; // over all positions

    // The progress of an acquisition of `scans` scans at `positions` positions
    // whose frames are filed into `data`.
    static ScanProgress of(const measuredData& data, int scans, int positions);

    // In scans; beyond the int range for a drive stepped in tiny steps.
    qint64 total() const;
    qint64 done() const;
    // 0 to 100.
    int percent() const;
    // What the progress bar says: "Scan 4/10", or "Position 2/5, scan 4/10".
    QString text() const;
    // "-Time-Left-hh:mm:ss-" from the rate so far, `elapsedMs` since the start;
    // "-Time-Left-" until a scan is done to take the rate from.
    QString timeLeftText(qint64 elapsedMs) const;
};
