#include "ProgressBar.h"

#include "CommandLine.h"

#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr qint64 redrawIntervalMs = 100;
constexpr int barWidth = 30;

// "[#####-------------------------]  5/30 scans, 10 frames"
QString barText(int framesReceived, int scansDone, int totalScans)
{
    const int filled = totalScans > 0 ? int(qint64(barWidth) * std::clamp(scansDone, 0, totalScans) / totalScans) : 0;
    return QStringLiteral("[%1%2] %3/%4 scans, %5 frames")
        .arg(QString(filled, QLatin1Char('#')), QString(barWidth - filled, QLatin1Char('-')))
        .arg(scansDone, QString::number(totalScans).size())
        .arg(totalScans)
        .arg(framesReceived);
}

} // namespace

ProgressBar::ProgressBar(int totalScans)
    : m_enabled(isatty(fileno(stderr)) == 1)
    , m_totalScans(totalScans)
{
}

void ProgressBar::update(int framesReceived, int scansDone)
{
    m_frames = framesReceived;
    m_scans = scansDone;
    if (!m_sinceDrawn.isValid() || m_sinceDrawn.elapsed() >= redrawIntervalMs)
        draw();
}

void ProgressBar::finish()
{
    if (!m_enabled || !m_drawn)
        return;
    draw();
    cli::err() << '\n';
    cli::err().flush();
}

void ProgressBar::draw()
{
    m_sinceDrawn.start();
    if (!m_enabled)
        return;
    // Carriage return and clear to the end of the line: the bar redraws itself in place.
    cli::err() << '\r' << barText(m_frames, m_scans, m_totalScans) << "\x1b[K";
    cli::err().flush();
    m_drawn = true;
}
