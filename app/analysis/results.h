#pragma once

#include <QMap>
#include <QString>

// The plasma parameters derived from one IV curve, each with its error
// estimate. NaN marks a value the analysis did not determine.
class results
{
public:
    results();

    void reset();

    // Display label of one of the eleven indexed parameters (0..10);
    // "Unknown" for any other index.
    static QString parameterLabel(int index);

    // Named-value block of the session file, in the record's order. Numbers
    // are written in their shortest round-trip form.
    void write(QMap<QString, QString>& map) const;
    void read(const QMap<QString, QString>& map);

    static constexpr int entryCount = 26;
    // Key of entry i (value and error alternate: "Vpmax", "Vpmax_error", ...).
    static const char* key(int entry);
    double& entry(int index);
    double entry(int index) const;

    double Vpmax, Vpmax_error;
    double Vp, Vp_error;
    double Vf, Vf_error;
    double kTe, kTe_error;
    double Je, Je_error;
    double Ne, Ne_error;
    double Jp, Jp_error;
    double Ni, Ni_error;
    double Vsat, Vsat_error;
    double Ldebye, Ldebye_error;
    double eedf_Ne, eedf_Ne_error;
    double eedf_AvgEnergy, eedf_AvgEnergy_error;
    double eedf_kTe, eedf_kTe_error;
};
