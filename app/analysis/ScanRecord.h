#pragma once

#include "analysis/HarmonicAnalysis.h"
#include "analysis/results.h"

#include <QDateTime>
#include <QPointF>
#include <QString>
#include <QVector>

// One analysed scan: the IV curve the analysis works on (voltages rising), its
// per-point deviations, how many sweeps were averaged into it, the analysis'
// error text (empty on success) and its results, plus the status values the
// session file keeps with every scan.
struct ScanRecord
{
    // Corrected IV curve.
    QVector<double> V;
    QVector<double> I;
    QVector<double> stdV;
    QVector<double> stdI;

    // Double-probe correction of the same curve; written only when filled.
    QVector<double> doubleProbeV;
    QVector<double> doubleProbeI;
    QVector<double> doubleProbeStdV;
    QVector<double> doubleProbeStdI;

    // Number of sweeps averaged into the curve; the error estimate needs two.
    int sweepCount = 1;

    QString errorText;
    results parameters;

    // The harmonic analysis of the record's time step, made beside the IV
    // analysis; the session file does not keep it.
    HarmonicResults harmonic;
    // Both analyses have run on the record since it was made or the settings
    // last changed; what trends plot without analysing again.
    bool analysed = false;

    // Status values.
    QDateTime date;
    double position = 0.0;
    double resolvedTime = 0.0;
    double offsetCurrent = 0.0;
    double gainAutoSwitchVoltage = 0.0;
    unsigned currentRange = 0;
    double dCurrentRange = 0.0;
    double dcCScanVoltageStart = 0.0;
    double dcCScanVoltageEnd = 0.0;
    double plasmaResistance = 0.0;

    // Derivative curve of the initial scan (x: voltage, y: dI/dV) and its duration.
    QVector<QPointF> initScanDerivative;
    double initScanDerivativeDuration = 0.0;
};
