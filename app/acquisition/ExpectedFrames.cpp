#include "acquisition/ExpectedFrames.h"

#include "acquisition/Band.h"

ExpectedFrames::ExpectedFrames(bool timeResolved, int scans)
    : m_timeResolved(timeResolved)
    , m_scans(scans)
{
}

QString ExpectedFrames::droppedText(int count)
{
    return QStringLiteral("%1 frame(s) the sensor sent beyond what the scan asked for (repeats, or scans it was not "
                          "asked for) were dropped, not filed.")
        .arg(count);
}

bool ExpectedFrames::admit(const scanResult& frame, int go)
{
    if (frame.scan < 1 || frame.scan > m_scans) {
        ++m_dropped;
        return false;
    }
    // A time-resolved scan sends one frame per band and delay; its delays are
    // the sensor's, truncated to whole microseconds (several may share one),
    // so only the scan numbers are held to what was asked for.
    if (m_timeResolved)
        return true;
    const QPair<qint64, int> key((qint64(go) << 32) | quint32(frame.scan),
                                 bandOf(frame.freq) == Band::Low ? 0 : 1);
    int& admitted = m_admitted[key];
    if (admitted > 0) {
        ++m_dropped;
        return false;
    }
    ++admitted;
    return true;
}
