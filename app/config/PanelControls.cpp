#include "config/PanelControls.h"

#include "config/ConfigParam.h"

#include <QString>

#include <cmath>

namespace PanelControls {
const PanelControl accumulations{{200, 5000}, 4};
const PanelControl resolutionTimeStep{{0.0125, 3276}, 4};
const PanelControl acquisitionStart{{0, 1000000}, 4};
const PanelControl acquisitionEnd{{0, 1000000000}, 4};
const PanelControl syncFrequency{{20, 200000}, 2};
const PanelControl scansToRun{{1, 10000}, 0};
const PanelControl positionStep{{0, 300}, 1};
const PanelControl voltageResolution{{0.1, 10}, 1};
const PanelControl prescanIntegrationTime{{0, 1000000}, 4};
const PanelControl prescanAveragePerStep{{1, 10000}, 0};
const PanelControl ionCurrentVoltage{{-150, 150}, 1};
const PanelControl voltageStep{{0.01, 50}, 2};
const PanelControl derivativeDrop{{1, 100}, 0};
const PanelControl ionCurrentDrop{{0, 10000}, 0};
const PanelControl derivativePoints{{1, 10}, 0};
} // namespace PanelControls

double PanelControl::held(double value) const
{
    if (std::isnan(value))
        return range.minimum;
    // Rounded as a spin box rounds: through its decimal text.
    return QString::number(range.held(value), 'f', decimals).toDouble();
}

namespace {

quint32 heldCount(const PanelControl& control, quint32 value)
{
    return quint32(control.held(double(value)));
}

} // namespace

void holdToPanelControls(ConfigParam& c)
{
    using namespace PanelControls;
    ConfigParam::SyncParam& sync = c.syncParam;
    c.dataScanRunScans = heldCount(scansToRun, c.dataScanRunScans);
    sync.resolution = resolutionTimeStep.held(sync.resolution);
    sync.start = acquisitionStart.held(sync.start);
    if (sync.duration != 0) {
        const PanelControl end{{sync.start, acquisitionEnd.range.maximum}, acquisitionEnd.decimals};
        const double duration = end.held(sync.duration);
        sync.duration = duration <= sync.start ? 0 : duration;
    }
    sync.resolvedInteg = syncFrequency.held(sync.resolvedInteg);
    c.dataScanRunParam.integrationTime = accumulations.held(c.dataScanRunParam.integrationTime);
    c.spatParam.step = positionStep.held(c.spatParam.step);
    c.dataScanRunParam.voltageStart = voltageResolution.held(c.dataScanRunParam.voltageStart);
    c.initScanRunParam.voltageStart = ionCurrentVoltage.held(c.initScanRunParam.voltageStart);
    c.initScanLargeVoltageStep = voltageStep.held(c.initScanLargeVoltageStep);
    c.initScanSmallVoltageStep = voltageStep.held(c.initScanSmallVoltageStep);
    c.initScanDerivativeDrop = derivativeDrop.held(c.initScanDerivativeDrop);
    c.initScanIonCurrentDrop = ionCurrentDrop.held(c.initScanIonCurrentDrop);
    c.initScanDerivativePoints = heldCount(derivativePoints, c.initScanDerivativePoints);
}
