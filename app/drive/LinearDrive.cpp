#include "drive/LinearDrive.h"

#include "drive/DriveReply.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QSerialPort>
#include <QThread>
#include <QTimer>

#include <climits>
#include <cmath>
#include <utility>

Q_LOGGING_CATEGORY(driveLog, "orvel.drive")

namespace {

// A reply without a prompt ends when the drive has been silent this long.
constexpr int replySilenceMs = 400;
// Longest stretch the reply wait sleeps before it looks at the abort flag again:
// the flag may be set from another thread, which wakes no event loop.
constexpr int abortCheckIntervalMs = 5;

const QMap<int, QByteArray>& errorTable()
{
    static const QMap<int, QByteArray> table{
        {0, "No Error."},
        {1, "1 Fault."},
        {2, "2 Fault."},
        {3, "3 Fault."},
        {4, "4 Fault."},
        {5, "5 Fault."},
        {6, "An I/O is already set to this type. Applies to non-General Purpose I/O."},
        {7, "Tried to set an Input or Defind I/O."},
        {8, "Tried to set an I/O to an incorrect I/O type."},
        {9, "Tried to write to I/O set as Input or is 'TYPED'."},
        {10, "Illegal I/O number."},
        {11, "Incorrect CLOCK type."},
        {12, "Illegal Trip / Capture."},
        {20, "Tried to set unknown variable or flag. Trying to set an undefined variable of flag. Also could be a "
             "typo."},
        {21, "Tried to set an incorrect value. Many variables have a range such as the Run Current (RC) which is 1 "
             "to 100%. As an example, you cannot set the RC to 11110%."},
        {22, "VI is set greater than or equal to VM. The Initial Velocity is set equal to, or higher than the "
             "Maximum Velocity. VI must be less than VM."},
        {23, "VM is set less than or equal to VI. The Maximum Velocity is set equal to, or lower than the Initial "
             "Velocity. VM must be greater than VI."},
        {24, "Illegal data entered. Data has been entered that the device does not understand."},
        {25, "Variable or flag is read only. Read only flags and variables cannot be set."},
        {26, "Variable or flag is not allowed to be incremented or decremented. IC and DC cannot be used on "
             "variables or flags such as Baud and Version."},
        {27, "Trip not defined.Trying to enable a trip that has not yet been defined."},
        {28, "WARNING! Trying to redefine a program label or variable. This can be caused when you download a "
             "program over a program already saved. Before downloading a new or edited program, type <FD> and "
             "press ENTER to return the device to the Factory Defaults. You may also type <CP> and press ENTER to "
             "Clear the Program."},
        {29, "Trying to redefine a built in command, variable or flag."},
        {30, "Unknown label or user variable. Trying to Call or Branch to a Label or Variable that has not yet been "
             "defined."},
        {31, "Program label or user variable table is full. The table has a maximum capacity of 22 labels and/or "
             "user variables."},
        {32, "Trying to set a label (LB). You cannot name a label and then try to set it to a value. Example: Lable "
             "P1 (LB P1 ). The P1 cannot be used to set a variable such as P1=1000."},
        {33, "Trying to SET an Instruction."},
        {34, "Trying to Execute a Variable or Flag."},
        {35, "Trying to Print Illegal Variable or Flag."},
        {36, "Illegal Motor Count to Encoder Count Ratio."},
        {37, "Command, Variable or Flag Not Available in Drive."},
        {38, "Missing parameter seperator."},
        {39, "Trip on Position and Trip on Relative Distance not allowed together."},
        {40, "Program not running. If HOLD (H) is entered in Immediate Mode and a program is not running."},
        {41, "Not Used."},
        {42, "Illegal program address. Tried to Clear, List, Execute, etc. an incorrect Program address."},
        {43, "Tried to overflow program stack. Calling a Sub-Routine or Trip Routine with no Return."},
        {44, "Program locked. User Programs can be Locked with the <LK> command. Once Locked, the program cannot be "
             "listed or edited in any way."},
        {45, "Trying to Overflow Program Space."},
        {46, "Not in Program Mode."},
        {47, "Tried to Write to Illegal Flash Address."},
        {48, "Program Execution stopped by I/O set as Stop."},
        {60, "Not used."},
        {61, "Trying to set illegal BAUD rate. The only Baud Rates accepted are those listed on the Properties Page "
             "of IMS Terminal. (4,800, 9,600, 19,200, 38,400, 115115 ,200)."},
        {62, "IV already pending or IF Flag already TRUE."},
        {70, "FLASH Check Sum Fault."},
        {71, "Internal Temperature Warning, 10C to Shutdown."},
        {72, "Internal Over TEMP Fault, Disabling Drive."},
        {73, "Tried to SAVE while moving."},
        {80, "HOME switch not defined. Attempting to do a HOME (H) sequence but the Home Switch has not yet been "
             "defined."},
        {81, "HOME type not defined. The HOME (HM or HI) Command has been programmed but with no type or an illegal "
             "type. (Types = 1, 2, 3, or 4)."},
        {82, "Went to both LIMITS and did not find home. The motion encroached both limits but did not trip the "
             "Home switch. Indicates a possible bad switch or a bad circuit."},
        {83, "Reached plus LIMIT switch. The LIMIT switch in the plus direction was tripped."},
        {84, "Reached minus LIMIT switch. The LIMIT switch in the minus direction was tripped."},
        {85, "MA or MR not allowed while in motion. You cannot program a second MOVE command while the device is in "
             "motion."},
        {86, "Stall detected. The Stall Flag (ST) has been set to 1."},
        {87, "In Clock Mode, JOG not allowed."},
        {88, "Following Error."},
        {89, "Reserved"},
        {90, "Motion Variables are too low switching to EE=1."},
        {91, "Motion stopped by I/O set as Stop."},
        {100, "Failed to configure RS232."},
        {101, "Failed to flush Serial Port."},
        {102, "Failed to write to Serial Port."},
        {103, "Failed to read Serial Port."},
        {104, "Failed to read Command Reply."},
        {105, "Failed to read number."},
        {106, "Failed to read error code."},
        {107, "Failed to move driver."},
        {108, "Failed to read error code."},
    };
    return table;
}

} // namespace

LinearDrive::LinearDrive(QSerialPort* serialPort, QObject* parent)
    : QObject(parent)
    , port(serialPort)
{
    if (!port)
        return;
    port->setParent(this);
    // A port whose device has gone away keeps reporting the read error in a busy
    // loop; closing it ends that, and later writes then fail cleanly.
    connect(port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && port->isOpen()) {
            qCDebug(driveLog) << "Closing drive port" << port->portName() << "after" << port->errorString();
            port->close();
        }
    });
}

LinearDrive::~LinearDrive() = default;

double LinearDrive::stepsToMillimetres(int steps) const
{
    return offset + steps * slope;
}

std::optional<int> LinearDrive::millimetresToSteps(double mm) const
{
    const double steps = (mm - offset) * (1.0 / slope);
    if (!std::isfinite(steps) || steps >= INT_MAX || steps <= INT_MIN)
        return std::nullopt;
    return qRound(steps);
}

QByteArray LinearDrive::messageForCode(int code)
{
    const auto entry = errorTable().constFind(code);
    if (entry != errorTable().constEnd())
        return entry.value();
    return "Unknown Error (" + QByteArray::number(code) + ").";
}

bool LinearDrive::home()
{
    return false;
}

bool LinearDrive::moveTo(double)
{
    return false;
}

bool LinearDrive::isAtTarget() const
{
    return false;
}

QByteArray LinearDrive::errorString()
{
    errorText = abortRequested ? QByteArray("Operation aborted.") : messageForCode(errorCode);
    return errorText;
}

void LinearDrive::moveToPosition(double) {}

void LinearDrive::checkPosition() {}

bool LinearDrive::identify()
{
    return false;
}

bool LinearDrive::stop()
{
    return false;
}

bool LinearDrive::sendCommand(const QByteArray& text, int attempts, int waitMs)
{
    return exchange(text, attempts, waitMs) == Outcome::Succeeded;
}

LinearDrive::Outcome LinearDrive::exchange(const QByteArray& text, int attempts, int waitMs)
{
    command = text;
    if (attempts < 1)
        return Outcome::WriteFailed;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        // The lone carriage return ends whatever partial line the drive holds.
        if (!writeBytes("\r"))
            return Outcome::WriteFailed;
        pause(20);
        discardStaleInput();
        if (!writeBytes(command))
            return Outcome::WriteFailed;
        if (abortRequested)
            return Outcome::Failed;
        pause(waitMs);
        if (readReply())
            return Outcome::Succeeded;
        if (abortRequested)
            return Outcome::Failed;
    }
    return Outcome::Failed;
}

bool LinearDrive::writeBytes(const QByteArray& bytes)
{
    const bool written = port && port->isOpen() && port->write(bytes) == bytes.size() && port->flush();
    if (!written)
        setError(102);
    return written;
}

// Bytes still waiting from an earlier exchange (the end of a reply that was cut
// short by an abort or by silence) would otherwise be taken for the reply to the
// next command.
void LinearDrive::discardStaleInput()
{
    if (port && port->isOpen() && !port->clear(QSerialPort::Input))
        qCDebug(driveLog) << "Could not discard stale input of drive port" << port->portName();
}

bool LinearDrive::readReply()
{
    reply.clear();
    replyValue.clear();
    if (!collectReply(true))
        return false;
    if (!DriveReply::isComplete(reply))
        return true; // ended by silence: left unparsed for the caller
    replyValue = DriveReply::value(reply);
    if (!DriveReply::isPrintable(replyValue)) {
        setError(104);
        return false;
    }
    if (reply.endsWith(DriveReply::errorPrompt)) {
        readDriveErrorCode();
        abortRequested = true;
        return false;
    }
    return true;
}

// Reads byte by byte until the reply is complete or the drive has been silent
// for 400 ms; false only when an abort was requested meanwhile.
bool LinearDrive::collectReply(bool needPrompt)
{
    QElapsedTimer sinceLastByte;
    sinceLastByte.start();
    while (!DriveReply::isComplete(reply, needPrompt)) {
        char byte;
        if (port && port->bytesAvailable() > 0 && port->getChar(&byte)) {
            reply.append(byte);
            sinceLastByte.restart();
            continue;
        }
        const qint64 silent = sinceLastByte.elapsed();
        if (silent > replySilenceMs)
            break;
        if (abortRequested)
            return false;
        waitForInput(qMin<int>(abortCheckIntervalMs, replySilenceMs + 1 - silent));
    }
    return true;
}

void LinearDrive::readDriveErrorCode()
{
    pause(300);
    discardStaleInput();
    if (!writeBytes("PR ER\r"))
        return;
    pause(200);
    reply.clear();
    collectReply(false);
    replyValue = DriveReply::value(reply);
    setError(DriveReply::errorCode(reply).value_or(108));
}

void LinearDrive::pause(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    runOrSleep(loop, ms);
}

void LinearDrive::waitForInput(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(qMax(ms, 1), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    if (port)
        connect(port, &QIODevice::readyRead, &loop, &QEventLoop::quit);
    if (runOrSleep(loop, ms) && port)
        port->waitForReadyRead(0); // no event loop to deliver the bytes: fetch them directly
}

// Once the application has been told to quit, nested event loops return at
// once; the operation then sleeps instead of spinning. True when it slept.
bool LinearDrive::runOrSleep(QEventLoop& loop, int ms)
{
    if (loop.exec() >= 0)
        return false;
    QThread::msleep(static_cast<unsigned long>(qMax(ms, 1)));
    return true;
}

LinearDrive::Operation::Operation(LinearDrive& drive)
    : owner(drive.busy ? nullptr : &drive)
{
    if (owner)
        owner->busy = true;
}

LinearDrive::Operation::~Operation()
{
    if (!owner)
        return;
    owner->busy = false;
    if (!owner->deferredCalls.isEmpty())
        QTimer::singleShot(0, owner, [drive = owner] { drive->runDeferredCalls(); });
}

bool LinearDrive::deferIfBusy(std::function<void()> call)
{
    if (!busy)
        return false;
    deferredCalls.append(std::move(call));
    return true;
}

bool LinearDrive::refuseNestedCall(const char* operation) const
{
    qCWarning(driveLog) << operation << "refused: the drive is busy with another command";
    return false;
}

// A deferred call that finds the drive busy again (it was queued behind another
// operation) defers itself once more, so calls keep their order.
void LinearDrive::runDeferredCalls()
{
    const QVector<std::function<void()>> calls = std::exchange(deferredCalls, {});
    for (const auto& call : calls)
        call();
}
