#pragma once

#include "acquisition/PositionWrapper.h"

#include <QString>
#include <QVector>

#include <array>

// A base level: VR, Vi, Ir, Ii of the low band, then the same four of the high
// band.
using BaseLevel = std::array<QVector<double>, 8>;

enum BaseLevelVector { BaseLowVR, BaseLowVi, BaseLowIr, BaseLowIi, BaseHighVR, BaseHighVi, BaseHighIr, BaseHighIi };

// A session's acquired data: the frames filed by position, scan number and
// band, the session's identity, and the base level subtracted from new frames.
// The scan configuration and analysis settings belong to the session as well
// but are owned by its window; the session file takes them alongside.
class measuredData
{
public:
    // Files one frame, stamping its scan record with the current time. Frames
    // without a fundamental frequency (freq exactly 0.0) carry no period and
    // are ignored; a frame whose harmonic count differs from its position's is
    // dropped. Returns whether the frame was filed.
    bool add(const scanResult& frame);
    bool add(const scanResult& frame, const QDateTime& filedAt);

    // Sets the base level (subtracted from the currents of every frame filed
    // afterwards) and puts it in force.
    void setBaseLevel(const BaseLevel& level);
    // Takes the base level out of force; its vectors stay.
    void clearBaseLevel();

    // A base level taken from the first frame (wrapper index 0) of the
    // position at `positionIndex`: each of the eight vectors has 16 values,
    // averaged over the position's scan groups except the last; a group is
    // left out of one vector's average when its band has no frame, or the
    // vector is empty or begins with a value above 500000 or NaN. Values a
    // vector lacks count as zero; with no group used a vector is all zero, as
    // it is for an index that names no position.
    BaseLevel baseLevelCandidates(int positionIndex) const;

    // Frames held, in both bands of every scan group.
    int frameCount() const;

    QString deviceID;
    QString comment;
    QString fileName; // of the session file last written or read
    QVector<PositionWrapper> positions; // in order of first arrival
    bool baseLevelSet = false;
    BaseLevel baseLevel;

private:
    void subtractBaseLevel(scanResult& frame) const;
};
