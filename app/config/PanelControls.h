#pragma once

#include "config/NumberRange.h"

class ConfigParam;

// One control of the configuration panel that edits a number of the record:
// the range it allows and the decimals it shows (0 for an integer box).
struct PanelControl
{
    NumberRange range;
    int decimals;

    // What the control makes of `value`: held to its range and rounded to its
    // decimals, as a spin box does. A value that is not a number takes the
    // range's minimum.
    double held(double value) const;
};

// The panel's controls, by their labels. The panel builds its boxes from
// these, so that what holdToPanelControls does is what the panel does.
namespace PanelControls {
extern const PanelControl accumulations;          // "Accumulations"
extern const PanelControl resolutionTimeStep;     // "Resolution Time Step" [us]
extern const PanelControl acquisitionStart;       // "Acquisition Time Start" [us]
extern const PanelControl acquisitionEnd;         // "Acquisition Time End" [us]; its minimum is the start
extern const PanelControl syncFrequency;          // "Sync Frequency" Hz
extern const PanelControl scansToRun;             // "Scans To Run"
extern const PanelControl positionStep;           // "Step Size" [mm]
extern const PanelControl voltageResolution;      // "Voltage Resolution" [V]
extern const PanelControl prescanIntegrationTime; // "Integration Time" [us] of the prescans
extern const PanelControl prescanAveragePerStep;  // "Average Per Voltage Step"
extern const PanelControl ionCurrentVoltage;      // "Ion Current Voltage" [V]
extern const PanelControl voltageStep;            // "Large Voltage Step", "Small Voltage Step" [V]
extern const PanelControl derivativeDrop;         // "Current Derivative dI/dV Drop" [%]
extern const PanelControl ionCurrentDrop;         // "Ion Current Drop" [%]
extern const PanelControl derivativePoints;       // "Derivative Calculation Points"
} // namespace PanelControls

// What the panel makes of a record it is given: every number its controls
// read back into the record (scans to run, the time-resolved window and sync
// frequency, the integration time, the position step, the voltages and
// steps, the two drops and the derivative points) held to its control's
// range and decimals; an acquisition end at or below the start means "end of
// period" (0). The start and end positions, whose limits the drive's settings
// give, are left to the panel. The command line applies this to the record it
// loads from the settings store, so that it runs the scan the window would.
void holdToPanelControls(ConfigParam& config);
