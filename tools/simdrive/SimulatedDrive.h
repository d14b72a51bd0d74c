#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// A stepper drive on a pseudo-terminal, for tests and for trying the program
// without a rail. It opens a pty pair, and a QSerialPort opened on slavePath()
// talks to it as to a drive on a serial line: it answers the Applied Motion
// commands the controller sends, ends every answer with "\r\n" and the prompt
// ">" (or "?" on an error, whose code "PR ER" then reports), moves its carriage
// at a set speed and homes it in a set time.
//
// The drive runs on a thread of its own, so it answers while the caller's thread
// is busy or blocked; every member function may be called from any thread.
//
// Positions are motor steps. The home switch sits at carriage distance 0; the
// step counter that "IP" reports is the carriage distance minus an origin that
// "SP" moves.
class SimulatedDrive
{
public:
    SimulatedDrive();
    ~SimulatedDrive();
    SimulatedDrive(const SimulatedDrive&) = delete;
    SimulatedDrive& operator=(const SimulatedDrive&) = delete;

    // Opens the pty pair and starts answering; false (see errorString) when the
    // pair cannot be opened.
    bool start();
    // Stops answering and closes the pty pair: a port open on the slave then sees
    // the device disappear.
    void stop();
    bool isRunning() const;
    QString slavePath() const;
    QString errorString() const;

    // Motion
    void setTravelSpeed(double stepsPerSecond); // default 20000
    void setHomingTime(int milliseconds);       // default 200, whatever the distance
    int position() const;                       // the step counter
    int distanceFromHome() const;               // carriage steps from the home switch
    bool isMoving() const;
    void placeCarriage(int distanceFromHome, int counter);

    // Faults. Each is used up by the next command line that starts with `command`
    // ("FP" matches "FP1234"), in the order they were added.
    void answerWithError(const QByteArray& command, int code); // "\r\n?", nothing done
    void answerWith(const QByteArray& command, const QByteArray& rawReply); // done, answered with exactly these bytes
    void answerLate(const QByteArray& command, int delayMs);  // done, answered after the delay
    void dropLine(const QByteArray& command);                 // neither done nor answered
    // The next `moves` position moves halt after `afterSteps` steps and stay there.
    void stallMoves(int afterSteps, int moves = 1);
    // A silent drive takes in and logs every line but neither acts nor answers.
    void setSilent(bool silent);

    // What the drive received: the command lines, without their carriage return
    // and line feeds and without empty lines; and every byte as it came.
    QList<QByteArray> commands() const;
    QByteArray receivedBytes() const;
    void clearLog();

private:
    struct State;
    std::unique_ptr<State> state;
};
