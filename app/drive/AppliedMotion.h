#pragma once

#include "drive/LinearDrive.h"

// The controller of an integrated stepper drive speaking the Applied Motion
// serial command language. Identifies the drive on construction, homes it in
// two passes against the home switch, moves it to positions in millimetres and
// reads its position.
//
// Calls that arrive while another operation waits for the drive (they can, as
// every wait keeps the event loop running): moveToPosition, checkPosition and
// stop are queued and run, in order, once that operation has finished (stop also
// sets abortRequested, so the running operation gives up first); identify, home
// and moveTo are refused and return false.
class AppliedMotion : public LinearDrive
{
    Q_OBJECT

public:
    // Takes ownership of `port` (opened, see openDrivePort) and identifies the
    // drive on it; `connected` tells whether that succeeded.
    explicit AppliedMotion(QSerialPort* port, QObject* parent = nullptr);

    // Homes in two passes and zeroes the step counter at the switch. The whole
    // sequence always runs (a Stop only shortens the waits) and ends at position
    // 0; the result is false when a homing pass failed or was aborted.
    bool home() override;
    // Moves to `mm` and polls the position until the drive is there: true only
    // when it arrived; false on abort (after "ST"), on a failed command, on a
    // failed position reading, or when the drive stays put despite re-sent move
    // commands (error 107, after "ST").
    bool moveTo(double mm) override;
    bool isAtTarget() const override;
    bool identify() override;
    bool stop() override;

    // A homing pass that has not ended after this long is given up (the drive
    // answers nothing while it homes, so silence alone cannot tell a dead drive).
    void setHomingTimeout(int milliseconds) { homingTimeoutMs = milliseconds; }

    int rlrValue = 0;                   // number after "RLR=" in the identification
    std::atomic<int> targetSteps{0};    // step position of the last move command
    std::atomic<int> currentSteps{0};   // step position of the last reading

public slots:
    void moveToPosition(double position) override;
    void checkPosition() override;

private:
    bool goToPosition(double mm);
    bool sendMoveCommand();
    bool readPosition();
    bool homingPass();
    bool waitForHomingEnd();
    bool sendStop();
    std::optional<int> stepsOfLastPosition() const;

    int homingTimeoutMs = 5 * 60 * 1000;
};
