#pragma once

#include <QMetaType>

// One decoded data frame of the sensor, as the scan worker hands it to the
// session: copied by value through a queued signal.
struct scanResult
{
    static constexpr int maxHarmonics = 16;

    int position = 0;       // position index, or the truncated drive position in a spatial scan
    unsigned char mode = 0;
    int scan = 0;
    int word8 = 0;          // frame words carried along, not interpreted
    int word10 = 0;
    int delay = 0;          // microseconds
    int harmonics = 0;      // valid entries in the four arrays
    double freq = 0.0;      // fundamental frequency, Hz
    // Per harmonic (index 0 = first harmonic): real and imaginary parts of the
    // probe voltage and of the probe current.
    double VR[maxHarmonics] = {};
    double Vi[maxHarmonics] = {};
    double Ir[maxHarmonics] = {};
    double Ii[maxHarmonics] = {};
};

Q_DECLARE_METATYPE(scanResult)

// Number of harmonic values a frame that declares `declared` of them really
// holds: the arrays have 16 entries, and a count compared as unsigned (so a
// negative one) is taken as 16.
inline int usableHarmonics(int declared)
{
    return unsigned(declared) <= unsigned(scanResult::maxHarmonics) ? declared : scanResult::maxHarmonics;
}

// Registers scanResult under the name "scanResult" so that it can travel
// through queued signals; safe to call more than once.
void registerScanResultType();
