#pragma once

#include <QElapsedTimer>
#include <QString>

// The progress of a scan on standard error: a bar of the scans done, with the
// frames received, redrawn in place. Drawn only when standard error is a
// terminal, so that logs and pipes receive none of it.
class ProgressBar
{
public:
    explicit ProgressBar(int totalScans);

    // Redraws the bar at most ten times a second.
    void update(int framesReceived, int scansDone);
    // Draws the final state and ends the line.
    void finish();

private:
    void draw();

    bool m_enabled;
    int m_totalScans;
    int m_frames = 0;
    int m_scans = 0;
    bool m_drawn = false;
    QElapsedTimer m_sinceDrawn;
};
