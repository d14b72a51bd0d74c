#pragma once

#include <QMap>
#include <QString>
#include <QVector>

// Probe geometry, gas conditions and analysis options of a session: what the
// curve analysis reads. A plain record; the "Process Settings" dialog derives
// from it, so the dialog is the session's record.
class LangmuirSettings
{
public:
    // Ion mass in multiples of the proton mass.
    double ionmass = 40;
    double probe_radius = 0.0035;      // m
    double probe_holder = 0.003;       // m
    double probe_length = 0.012;       // m
    double probe_resistance = 0;       // Ohm
    double gas_temperature = 300;      // K
    double pressure = 0.0024;          // always Torr, whatever unit the dialog shows
    double sigmaN = 8.8e-19;           // ion-neutral momentum-transfer cross-section, m²
    double sigmaEn = 4.14e-20;         // electron-neutral momentum-transfer cross-section, m²
    bool correctDC = true;             // compensate for plasma resistance
    double offsetCurrent = 0;
    double setVp = 0;                  // V, used instead of the Vp search when bUseUserVp is set
    bool bUseUserVp = false;
    bool bUse2ndDerivativeZeroVp = false;
    int nDerivativePoints = 3;         // half-width of the windowed derivative
    double VsatFactor = 0.8;           // fraction of the dI/dV maximum that ends the Vp search
    double electronReflectVoltage = -20; // V, upper end of the ion-current window
    QVector<bool> bUseUserVpForFrame;
    QVector<double> UserVpValuesList;  // V

    // Per-frame user Vp; the lists grow as needed (unset frames: off, 0 V).
    void setUseUserVpForFrame(int frame, bool use);
    void setUserVpForFrame(int frame, double value);
    bool useUserVpForFrame(int frame) const;
    // NaN when the frame has no value.
    double userVpForFrame(int frame) const;

    // The session file's analysis-settings block. Numbers are written in their
    // shortest round-trip form, lists as values each followed by ";". A name
    // missing from the map leaves its field unchanged.
    void toStringMap(QMap<QString, QString>& map) const;
    void fromStringMap(const QMap<QString, QString>& map);
};
