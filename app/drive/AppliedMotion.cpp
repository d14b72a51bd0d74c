#include "drive/AppliedMotion.h"

#include "drive/DriveReply.h"

#include <QDebug>
#include <QElapsedTimer>

#include <cmath>
#include <limits>

namespace {

// Consecutive unchanged readings, each answered by re-sending the move, after
// which a drive that does not move is given up.
constexpr int maxStalledResends = 5;

} // namespace

AppliedMotion::AppliedMotion(QSerialPort* serialPort, QObject* parent)
    : LinearDrive(serialPort, parent)
{
    name = "AppliedMotion";
    description = "Applied Motion System Drive";
    slope = 0.01;
    offset = 0;
    railLength = 500;
    homingSpeed = 10;
    if (port)
        identify();
}

bool AppliedMotion::identify()
{
    Operation operation(*this);
    if (!operation.started())
        return refuseNestedCall("identify");
    abortRequested = false;
    connected = false;
    name = "AppliedMotion";
    description = "Applied Motion Linear Drive";
    lastPosition = std::numeric_limits<double>::quiet_NaN();

    if (abortRequested)
        return false;
    sendCommand("HR\rSS999\r\n", 1, 100);
    if (reply.size() < 2)
        return false;
    name = "Applied Motion Integrated Controller";
    description += "\nNAME:" + name;

    if (abortRequested || !sendCommand("MV\r\n", 10, 100))
        return false;
    // The code alone: the line break and prompt that end the answer are no
    // part of what the operator reads.
    description += "\nPART CONFIG CODE:" + DriveReply::value(reply);

    for (const char* setup : {"IFD\r", "DL2\r", "DE7\r", "AC7\r", "RLR\r"}) {
        if (abortRequested)
            return false;
        sendCommand(setup, 1, 5);
    }
    const int rlrAt = reply.indexOf("RLR=");
    if (abortRequested || reply.size() < 3 || rlrAt < 0)
        return false;
    rlrValue = DriveReply::leadingInteger(reply.mid(rlrAt + 4)).value_or(0);
    connected = true;
    return true;
}

bool AppliedMotion::home()
{
    Operation operation(*this);
    if (!operation.started())
        return refuseNestedCall("home");
    sendCommand("DE1000\r", 1, 5);
    abortRequested = false;

    // First pass finds the switch; the second approaches it again from 50 steps
    // away, so the zero does not depend on where the drive started.
    bool homed = homingPass();
    sendCommand("SP0\r", 1, 5);
    if (!sendCommand("FP50\r\n", 1, 20))
        pause(1000);
    homed = homingPass() && homed;
    sendCommand("SP0\r", 1, 5);

    currentSteps = 0;
    lastPosition = stepsToMillimetres(0);
    emit positionUpdated(lastPosition);

    sendCommand("DE7\r", 1, 5);
    sendCommand("VE9.0\r", 5, 5);
    return homed;
}

// Seeks the home switch and waits until the drive is there; on failure or abort
// the motion is stopped and the homing sequence goes on regardless.
bool AppliedMotion::homingPass()
{
    sendCommand("SH2H\r", 1, 100);
    if (waitForHomingEnd() && !abortRequested)
        return true;
    sendCommand("ST\r", 20, 20);
    return false;
}

// The drive answers "SS111" only once the commands queued before it, the homing
// motion included, are done; until then the reply ends in silence.
bool AppliedMotion::waitForHomingEnd()
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (!sendCommand("SS111\r", 20, 100))
            return false;
        if (reply.startsWith('1'))
            return true;
        if (waited.elapsed() > homingTimeoutMs) {
            setError(103);
            return false;
        }
        pause(5);
    }
}

bool AppliedMotion::moveTo(double mm)
{
    Operation operation(*this);
    if (!operation.started())
        return refuseNestedCall("moveTo");
    abortRequested = false;
    if (!goToPosition(mm))
        return false;

    std::optional<int> previousReading = stepsOfLastPosition();
    int stalledResends = 0;
    while (!abortRequested) {
        if (isAtTarget())
            break;
        if (!readPosition())
            break;
        const int reading = currentSteps;
        if (reading == previousReading && !isAtTarget()) {
            if (++stalledResends > maxStalledResends) {
                setError(107);
                sendStop();
                return false;
            }
            if (!sendMoveCommand())
                return false;
        } else {
            stalledResends = 0;
        }
        previousReading = reading;
    }
    if (abortRequested) {
        sendStop();
        return false;
    }
    // Arrival is only known from a reading; a failed one leaves it unconfirmed.
    return isAtTarget();
}

bool AppliedMotion::isAtTarget() const
{
    return currentSteps == targetSteps;
}

void AppliedMotion::moveToPosition(double position)
{
    if (deferIfBusy([this, position] { moveToPosition(position); }))
        return;
    Operation operation(*this);
    goToPosition(position);
}

void AppliedMotion::checkPosition()
{
    if (deferIfBusy([this] { checkPosition(); }))
        return;
    Operation operation(*this);
    readPosition();
}

bool AppliedMotion::stop()
{
    if (deferIfBusy([this] { stop(); })) {
        abortRequested = true;
        return true;
    }
    Operation operation(*this);
    return sendStop();
}

// A position that cannot be expressed in steps is refused before anything is
// sent, so the drive never receives a made-up target.
bool AppliedMotion::goToPosition(double mm)
{
    const std::optional<int> steps = millimetresToSteps(mm);
    if (!steps) {
        qCWarning(driveLog) << "Drive position" << mm << "mm cannot be expressed in steps of" << slope << "mm";
        setError(107);
        return false;
    }
    targetSteps = *steps;
    return sendMoveCommand();
}

bool AppliedMotion::sendMoveCommand()
{
    return sendCommand("FP" + QByteArray::number(targetSteps) + "\r\n", 1, 20);
}

// The drive answers "IP=" and the step count; a reply that holds no number there
// is not taken for position 0.
bool AppliedMotion::readPosition()
{
    if (!sendCommand("IP\r", 1, 5))
        return false;
    const std::optional<int> steps = reply.size() >= 3 ? DriveReply::leadingInteger(reply.mid(3)) : std::nullopt;
    if (!steps) {
        setError(105);
        return false;
    }
    currentSteps = *steps;
    lastPosition = stepsToMillimetres(*steps);
    qCDebug(driveLog) << "IP=" << *steps;
    emit positionUpdated(lastPosition);
    return true;
}

// Sends "ST" once; true unless it could not be written. An unidentified drive is
// sent nothing.
bool AppliedMotion::sendStop()
{
    if (!connected)
        return true;
    return exchange("ST\r", 1, 1000) != Outcome::WriteFailed;
}

std::optional<int> AppliedMotion::stepsOfLastPosition() const
{
    const double steps = (lastPosition - offset) / slope;
    if (!std::isfinite(steps) || std::abs(steps) >= std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(steps);
}
