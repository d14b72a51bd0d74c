#include "acquisition/ModeFrame.h"

#include "acquisition/ScanStart.h"

#include "orvelDevice.h"

bool sendModeFrame(orvelDevice& sensor, const ScanStart& start)
{
    if (!start.timeResolved)
        return sensor.modeCommand(start.scans, start.integrationTime);
    return sensor.modeCommand(start.scans, start.value, start.start, start.period, start.resolution);
}
