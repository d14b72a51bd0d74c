#pragma once

#include <QString>
#include <QtGlobal>

class ConfigParam;
class LangmuirSettings;

// What starting a data scan tells the sensor and the scan worker: the values of
// the mode frame ("MA" averaged, "MR" time-resolved) and the delay of the
// acquisition's last frame. The main window and the command line both start
// scans from these, so that they can never disagree.
struct ScanStart
{
    bool timeResolved = false;
    // Scans the sensor runs; the worker must wait for the same count.
    quint16 scans = 0;
    // Averaged mode: integration time of the "MA" frame.
    unsigned integrationTime = 0;
    // Time-resolved mode: the "MR" frame's value (the sync frequency / 1.5,
    // held to 500 ... 2000) and its window in microseconds: first delay, end of
    // the window (the sync period unless an acquisition end is set) and step.
    unsigned value = 0;
    unsigned start = 0;
    unsigned period = 0; // 0 in averaged mode
    unsigned resolution = 0;
    // Delay in microseconds of the last frame, period - resolution truncated;
    // the worker's completion test uses it in time-resolved mode only.
    int lastDelay = 0;
    // Why the scan cannot start; empty when it can.
    QString problem;
};

// The scan start a configuration asks for. Fractions are truncated toward
// zero; negative or non-numeric times count as 0 and values beyond the
// frame's fields are held to their largest, so nothing wraps around. A scan
// count above 65535 is held there. An acquisition time end below 1 us counts as
// none: the window then closes with the sync period, which needs a sync
// frequency above 0 Hz, otherwise `problem` says so.
ScanStart scanStartFor(const ConfigParam& config);

// The three analysis settings a scan start takes from the configuration, so
// that the scan is analysed as it was set up: the current offset, the
// half-width of the windowed derivative (initScanDerivativePoints) and the
// fraction of the dI/dV maximum that ends the Vp search (initScanIonCurrentDrop
// in per cent). The main window and the command line both call this after
// sending the go frame.
void applyScanConfigToAnalysis(const ConfigParam& config, LangmuirSettings& settings);

// Why a sensor that answered `status` to the status query cannot start a scan,
// as the operator is told; empty for 'I' (idle), the one status that can.
QString sensorNotReadyText(int status);
