#include "acquisition/ScanProgress.h"

#include "acquisition/measuredData.h"


#include <algorithm>

namespace {

const QString kTimeLeft = QStringLiteral("-Time-Left-");
// The label holds two digits of hours.
constexpr qint64 kLongestShownMs = (99LL * 3600 + 59 * 60 + 59) * 1000;

} // namespace

ScanProgress ScanProgress::of(const measuredData& data, int scans, int positions)
{
    ScanProgress progress;
    progress.scans = std::max(scans, 0);
    progress.positions = std::max(positions, 1);
    progress.positionsBegun = data.positions.size();
    for (const PositionWrapper& position : data.positions)
        progress.scansBegun += position.scans.size();
    return progress;
}

qint64 ScanProgress::total() const
{
    return qint64(scans) * positions;
}

qint64 ScanProgress::done() const
{
    return std::clamp<qint64>(scansBegun - 1, 0, total());
}

int ScanProgress::percent() const
{
    return total() > 0 ? int(done() * 100 / total()) : 0;
}

QString ScanProgress::text() const
{
    // A position truncated onto the one before (steps below 1 mm) files into
    // it: the count never runs past what was asked for.
    const int position = std::clamp(positionsBegun, 1, positions);
    const qint64 scan = std::clamp<qint64>(scansBegun - qint64(position - 1) * scans, 0, scans);
    const QString scanText = QStringLiteral("%1/%2").arg(scan).arg(scans);
    if (positions == 1)
        return QStringLiteral("Scan ") + scanText;
    return QStringLiteral("Position %1/%2, scan ").arg(position).arg(positions) + scanText;
}

QString ScanProgress::timeLeftText(qint64 elapsedMs) const
{
    if (done() == 0 || elapsedMs < 0)
        return kTimeLeft;
    // In floating point: the product may pass what 64 bits hold.
    const double estimate = double(elapsedMs) * double(total() - done()) / double(done());
    const qint64 left = estimate < double(kLongestShownMs) ? qint64(estimate) : kLongestShownMs;
    const qint64 seconds = (left + 500) / 1000;
    return kTimeLeft
           + QStringLiteral("%1:%2:%3-")
                 .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                 .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                 .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
