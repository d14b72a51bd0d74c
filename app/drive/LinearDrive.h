#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <functional>
#include <optional>

class QEventLoop;
class QSerialPort;

// Diagnostics of the drive controllers ("orvel.drive").
Q_DECLARE_LOGGING_CATEGORY(driveLog)

// Controller of a motorised linear drive on a serial line: converts positions in
// millimetres to motor steps and back, homes the drive, moves it, reports its
// position and can be stopped. Concrete controllers implement the virtual
// operations; this class holds the command exchange they share.
//
// The controller lives on the GUI thread. Its waits keep the event loop running,
// so a Stop click or a queued call can arrive while an operation waits for the
// drive. `abortRequested` and `lastPosition` may be read and written from any
// thread (the scan worker does), as may `isAtTarget()`.
//
// Never delete a controller while one of its operations is on the stack (use
// deleteLater()).
class LinearDrive : public QObject
{
    Q_OBJECT

public:
    // Takes ownership of `port` (which may be null); the port is closed and
    // deleted with the controller.
    explicit LinearDrive(QSerialPort* port = nullptr, QObject* parent = nullptr);
    ~LinearDrive() override;

    QByteArray name;
    QByteArray description;                 // identification text shown to the operator
    bool connected = false;                 // the drive answered the identification
    std::atomic<bool> abortRequested{false}; // every wait ends when this is set
    double slope = 1.0;                     // millimetres per motor step
    double offset = 0.0;                    // millimetres at step 0
    std::atomic<double> lastPosition{0.0};  // mm; NaN while unknown
    double railLength = 100;                // usable rail length in mm
    double homingSpeed = 5;                 // mm/s, shown to the operator only

    // The last known position in mm (the scan worker reads it from its thread).
    double position() const { return lastPosition; }

    double stepsToMillimetres(int steps) const;
    // The step count of a position, rounded to the nearest step; nothing when the
    // position cannot be expressed in steps (a zero slope, not a number, or
    // beyond the int range).
    std::optional<int> millimetresToSteps(double mm) const;

    int lastErrorCode() const { return errorCode; }
    // The text of an error code: the table's entry, or "Unknown Error (N).".
    static QByteArray messageForCode(int code);

    virtual bool home();
    virtual bool moveTo(double mm); // moves and waits until the drive is there
    virtual bool isAtTarget() const;
    // "Operation aborted." while an abort is pending, else the last error's text.
    virtual QByteArray errorString();

public slots:
    virtual void moveToPosition(double position); // starts a move and returns
    virtual void checkPosition();                 // reads the position, emits positionUpdated

public:
    virtual bool identify();
    virtual bool stop();

signals:
    void positionUpdated(double position);
    void idUpdated(const QString& id);

protected:
    enum class Outcome { Succeeded, Failed, WriteFailed };

    // Sends `text` up to `attempts` times, each time writing a lone carriage
    // return, pausing 20 ms, writing the command, pausing `waitMs` and reading the
    // reply. Gives up as soon as `abortRequested` is set (after the write).
    bool sendCommand(const QByteArray& text, int attempts, int waitMs);
    Outcome exchange(const QByteArray& text, int attempts, int waitMs);

    void setError(int code) { errorCode = code; }
    // Keeps the event loop running for `ms` milliseconds.
    void pause(int ms);

    // Drive operations share the command and reply buffers, and their waits let
    // queued calls run. One operation runs at a time: a call that arrives while
    // another runs is either deferred until it has finished (deferIfBusy) or
    // refused (an Operation that did not start).
    class Operation
    {
    public:
        explicit Operation(LinearDrive& drive);
        ~Operation();
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;
        bool started() const { return owner != nullptr; }

    private:
        LinearDrive* owner;
    };
    bool isBusy() const { return busy; }
    // Queues `call` and answers true when an operation is running.
    bool deferIfBusy(std::function<void()> call);
    // Refuses a blocking call that arrived during another operation.
    bool refuseNestedCall(const char* operation) const;

    QSerialPort* port;
    int errorCode = 0;
    QByteArray errorText;  // last text errorString returned
    QByteArray command;    // the command being sent
    QByteArray reply;      // raw reply of the last command
    QByteArray replyValue; // value line of the last reply with a prompt

private:
    bool writeBytes(const QByteArray& bytes);
    void discardStaleInput();
    bool readReply();
    bool collectReply(bool needPrompt);
    void readDriveErrorCode();
    void waitForInput(int ms);
    static bool runOrSleep(QEventLoop& loop, int ms);
    void runDeferredCalls();

    bool busy = false;
    QVector<std::function<void()>> deferredCalls;
};
