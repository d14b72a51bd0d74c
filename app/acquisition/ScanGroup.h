#pragma once

#include "acquisition/Band.h"
#include "acquisition/DelayWrapper.h"

#include <QVector>

// The frames of one scan number at one position, in arrival order, per band
// (written to the session file as "Scan").
class ScanGroup
{
public:
    // Vectors of a wrapper that `component` selects (see component()).
    enum Component {
        LowWaveFormI = 0, LowWaveFormV = 1,
        HighWaveFormI = 2, HighWaveFormV = 3,
        LowIvVoltage = 4, LowIvCurrent = 5,
        HighIvVoltage = 6, HighIvCurrent = 7,
        LowVR = 8, LowVi = 9, LowIr = 10, LowIi = 11,
        HighVR = 12, HighVi = 13, HighIr = 14, HighIi = 15,
    };

    ScanGroup() = default; // filled by the session file reader
    ScanGroup(const scanResult& frame, const QDateTime& filedAt);

    // Files a frame of this scan number into the list of its band.
    void add(const scanResult& frame, const QDateTime& filedAt);

    QVector<DelayWrapper>& delays(Band band) { return band == Band::Low ? Delays200 : Delays400; }
    const QVector<DelayWrapper>& delays(Band band) const { return band == Band::Low ? Delays200 : Delays400; }

    // One vector of the wrapper at `index` of the band the component names (a
    // negative index means the last index of Delays200, for either band). The
    // low band's IV pair is the joined one once its wrapper has been joined.
    // An unknown component or a missing wrapper gives an empty vector.
    QVector<double> component(int component, int index) const;

    int scan = 0;
    QVector<DelayWrapper> Delays200; // frames below 150000 Hz
    QVector<DelayWrapper> Delays400; // frames at 150000 Hz or above
};
