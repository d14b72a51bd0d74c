#pragma once

#include "config/NumberRange.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <initializer_list>

// One number of the record as the operator knows it: its name in the session
// file, the label of the dialog field or panel control that sets it (its
// name where none does), its unit and the range that control allows.
struct SettingRange
{
    const char* name;
    const char* label;
    const char* unit;
    NumberRange range;

    // "Probe radius 0 m (allowed: 1e-06 to 0.01 m)".
    QString describe(double value) const;
};

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
    // missing from the map leaves its field unchanged. A number outside its
    // range (see range()) takes the record's default instead, a list entry
    // outside it the value of an unset frame (0 V); each such replacement is
    // described in `replaced` when given.
    void toStringMap(QMap<QString, QString>& map) const;
    void fromStringMap(const QMap<QString, QString>& map, QStringList* replaced = nullptr);

    // The first number of the record outside its range (of those named in
    // `only`, when given), described for the operator; empty when they all lie
    // in their ranges.
    QString outOfRange(std::initializer_list<const char*> only = {}) const;

    // The range of the number `name` (a field of the session block); null for
    // a flag or an unknown name.
    static const SettingRange* range(const char* name);
};

// The units in which the "Process Settings" dialog shows the pressure, in the
// order of its unit box, with the factors it has always used (they are not
// exact inverses of each other). The record always holds Torr.
struct PressureUnit
{
    const char* label;
    double toTorr;
    double fromTorr;
};
extern const PressureUnit pressureUnits[3];
// The unit at `index` of the unit box; Torr for an index outside it.
const PressureUnit& pressureUnitAt(int index);
