#include "acquisition/ScanStart.h"

#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"

#include <climits>
#include <cmath>
#include <limits>

namespace {

// Truncation toward zero that never leaves the target type: negative or not a
// number gives 0, too large gives the largest value.
unsigned truncatedUnsigned(double x)
{
    if (!(x > 0))
        return 0;
    if (x >= static_cast<double>(UINT_MAX))
        return UINT_MAX;
    return static_cast<unsigned>(x);
}

int truncatedInt(double x)
{
    if (std::isnan(x))
        return 0;
    if (x <= static_cast<double>(INT_MIN))
        return INT_MIN;
    if (x >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(x);
}

constexpr unsigned minimumValue = 500;
constexpr unsigned maximumValue = 2000;

unsigned valueForFrequency(double frequency)
{
    const unsigned value = truncatedUnsigned(frequency / 1.5);
    return qBound(minimumValue, value, maximumValue);
}

} // namespace

ScanStart scanStartFor(const ConfigParam& config)
{
    ScanStart start;
    const ConfigParam::SyncParam& sync = config.syncParam;
    start.timeResolved = sync.bUseSyncScan;
    start.scans = static_cast<quint16>(qMin<quint32>(config.dataScanRunScans, std::numeric_limits<quint16>::max()));
    double period = 0;
    if (!start.timeResolved) {
        start.integrationTime = truncatedUnsigned(config.dataScanRunParam.integrationTime);
    } else {
        start.value = valueForFrequency(sync.resolvedInteg);
        start.start = truncatedUnsigned(sync.start);
        start.resolution = truncatedUnsigned(sync.resolution);
        period = std::trunc(sync.duration);
        if (!(period > 0)) { // no acquisition end: up to the end of the sync period
            if (sync.resolvedInteg > 0)
                period = std::trunc(1 / sync.resolvedInteg * 1000000);
            else
                start.problem = QStringLiteral("The sync frequency must be above 0 Hz when no acquisition time end is set.");
        }
        start.period = truncatedUnsigned(period);
        period = start.period;
    }
    start.lastDelay = truncatedInt(period - sync.resolution);
    return start;
}

void applyScanConfigToAnalysis(const ConfigParam& config, LangmuirSettings& settings)
{
    settings.offsetCurrent = config.offsetCurrent;
    // Stored configurations may hold any count; the derivative's half-width is an int.
    settings.nDerivativePoints = int(qMin<quint32>(config.initScanDerivativePoints, quint32(INT_MAX)));
    settings.VsatFactor = config.initScanIonCurrentDrop * 0.01;
}

QString sensorNotReadyText(int status)
{
    switch (status) {
    case 'I':
        return QString();
    case 'S':
        return QStringLiteral("Sensor is busy, please wait for the situation to resolve, or power cycle the Orvel box");
    default:
        return QStringLiteral("Unable to establish communication with sensor.\n Please check sensor connection to probe, "
                              "if problem persists please power cycle the whole system.\n");
    }
}
