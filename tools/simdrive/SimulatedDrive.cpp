#include "simdrive/SimulatedDrive.h"

#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int unknownCommandError = 37; // "Command, Variable or Flag Not Available in Drive."
constexpr int illegalDataError = 24;    // "Illegal data entered. ..."

struct Fault
{
    enum class Kind { ErrorPrompt, RawReply, LateReply, DropLine };
    Kind kind;
    QByteArray command;
    int number = 0; // error code or delay
    QByteArray bytes;
};

// What a command does to the answer: its value, or an error prompt; "SS" answers
// only once the drive is idle, and some commands are not answered at all.
struct Answer
{
    QByteArray value;
    bool error = false;
    bool waitsForIdle = false;
    bool none = false;
};

std::optional<int> numberAfter(const QByteArray& line, int prefixLength)
{
    bool ok = false;
    const int number = line.mid(prefixLength).toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

} // namespace

struct SimulatedDrive::State
{
    // Guards everything below except the thread-side members. A standard mutex, so
    // that thread sanitizer builds see the locking.
    mutable std::mutex mutex;

    double speed = 20000;
    int homingTimeMs = 200;

    // Carriage motion from `from` to `to` over [startMs, startMs + durationMs].
    QElapsedTimer clock;
    double from = 0;
    double to = 0;
    qint64 startMs = 0;
    qint64 durationMs = 0;
    int origin = 0;

    int driveError = 0;
    int stallAfter = 0;
    int stalledMovesLeft = 0;
    bool silent = false;
    QList<Fault> faults;
    QList<QByteArray> commands;
    QByteArray received;
    QString slavePath;
    QString error;
    bool running = false;

    // Thread side: touched only by the drive's thread while it runs.
    int master = -1;
    int slave = -1;
    QThread thread;
    QObject* context = nullptr;
    QSocketNotifier* notifier = nullptr;
    QTimer* idleTimer = nullptr;
    QByteArray lineBuffer;
    QList<QByteArray> answersWhenIdle;

    qint64 now() const { return clock.elapsed(); }
    double carriage() const
    {
        const qint64 elapsed = now() - startMs;
        if (elapsed >= durationMs)
            return to;
        return from + (to - from) * double(elapsed) / double(durationMs);
    }
    bool moving() const { return now() - startMs < durationMs; }
    qint64 remainingMs() const { return qMax<qint64>(0, startMs + durationMs - now()); }
    int counter() const { return int(std::lround(carriage())) - origin; }

    void moveCarriage(double target, qint64 duration)
    {
        from = carriage();
        to = target;
        startMs = now();
        durationMs = duration;
    }
    void moveCounterTo(int steps)
    {
        double target = steps + origin;
        const double here = carriage();
        if (stalledMovesLeft > 0) {
            --stalledMovesLeft;
            const double distance = qMin<double>(stallAfter, std::abs(target - here));
            target = here + (target > here ? distance : -distance);
        }
        moveCarriage(target, qint64(std::abs(target - here) / speed * 1000.0));
    }

    std::optional<Fault> takeFault(const QByteArray& line)
    {
        for (int i = 0; i < faults.size(); ++i)
            if (line.startsWith(faults.at(i).command))
                return faults.takeAt(i);
        return std::nullopt;
    }

    Answer execute(const QByteArray& line);
    void handleLine(const QByteArray& line);
    void readInput();
    void deliver(const QByteArray& bytes, int delayMs);
    void write(const QByteArray& bytes);
    void answerQueuedIfIdle();
    void attach();
    void detach();
};

Answer SimulatedDrive::State::execute(const QByteArray& line)
{
    if (line == "HR")
        return {QByteArray(), false, false, true};
    if (line == "IP")
        return {"IP=" + QByteArray::number(counter())};
    if (line == "ST") {
        moveCarriage(carriage(), 0);
        return {};
    }
    if (line == "PR ER")
        return {QByteArray::number(driveError)};
    if (line == "MV")
        return {"100Y"};
    if (line == "RLR")
        return {"RLR=4"};
    if (line == "SH2H") {
        moveCarriage(0, homingTimeMs);
        return {};
    }
    if (line.startsWith("SS"))
        return {line.mid(2), false, true};
    if (line.startsWith("FP") || line.startsWith("SP")) {
        const std::optional<int> steps = numberAfter(line, 2);
        if (!steps) {
            driveError = illegalDataError;
            return {QByteArray(), true};
        }
        if (line.startsWith("FP"))
            moveCounterTo(*steps);
        else
            origin = int(std::lround(carriage())) - *steps;
        return {};
    }
    for (const char* setting : {"IFD", "DL", "DE", "AC", "VE"})
        if (line.startsWith(setting))
            return {};
    driveError = unknownCommandError;
    return {QByteArray(), true};
}

void SimulatedDrive::State::handleLine(const QByteArray& line)
{
    const std::lock_guard<std::mutex> lock(mutex);
    commands.append(line);
    const std::optional<Fault> fault = takeFault(line);
    if (silent || (fault && fault->kind == Fault::Kind::DropLine))
        return;
    if (fault && fault->kind == Fault::Kind::ErrorPrompt) {
        driveError = fault->number;
        deliver("\r\n?", 0);
        return;
    }
    const Answer answer = execute(line);
    if (answer.none)
        return;
    QByteArray bytes = answer.value + "\r\n" + (answer.error ? '?' : '>');
    if (fault && fault->kind == Fault::Kind::RawReply)
        bytes = fault->bytes;
    const int delayMs = (fault && fault->kind == Fault::Kind::LateReply) ? fault->number : 0;
    if (answer.waitsForIdle && moving()) {
        answersWhenIdle.append(bytes);
        idleTimer->start(int(remainingMs()) + 1);
    } else {
        deliver(bytes, delayMs);
    }
    answerQueuedIfIdle();
}

void SimulatedDrive::State::readInput()
{
    char buffer[256];
    const ssize_t count = ::read(master, buffer, sizeof buffer);
    if (count <= 0) {
        // EIO once no one holds the slave open; our own slave descriptor prevents
        // that, but never spin on a dead descriptor.
        if (count == 0 || (errno != EAGAIN && errno != EINTR))
            notifier->setEnabled(false);
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        received.append(buffer, int(count));
    }
    for (ssize_t i = 0; i < count; ++i) {
        const char byte = buffer[i];
        if (byte == '\n')
            continue;
        if (byte != '\r') {
            lineBuffer.append(byte);
            continue;
        }
        const QByteArray line = std::exchange(lineBuffer, {});
        if (!line.isEmpty())
            handleLine(line);
    }
}

void SimulatedDrive::State::deliver(const QByteArray& bytes, int delayMs)
{
    if (delayMs <= 0)
        write(bytes);
    else
        QTimer::singleShot(delayMs, context, [this, bytes] { write(bytes); });
}

void SimulatedDrive::State::write(const QByteArray& bytes)
{
    // The master is non-blocking: bytes that find the pty full are lost, as on a
    // line no one reads.
    if (master >= 0 && ::write(master, bytes.constData(), size_t(bytes.size())) < 0)
        qDebug("Simulated drive could not answer: %s", std::strerror(errno));
}

void SimulatedDrive::State::answerQueuedIfIdle()
{
    if (moving() || answersWhenIdle.isEmpty())
        return;
    for (const QByteArray& bytes : std::exchange(answersWhenIdle, {}))
        write(bytes);
}

void SimulatedDrive::State::attach()
{
    notifier = new QSocketNotifier(master, QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [this] { readInput(); });
    idleTimer = new QTimer(context);
    idleTimer->setSingleShot(true);
    idleTimer->setTimerType(Qt::PreciseTimer);
    QObject::connect(idleTimer, &QTimer::timeout, context, [this] {
        const std::lock_guard<std::mutex> lock(mutex);
        if (moving())
            idleTimer->start(int(remainingMs()) + 1);
        else
            answerQueuedIfIdle();
    });
}

void SimulatedDrive::State::detach()
{
    delete notifier;
    notifier = nullptr;
    delete idleTimer;
    idleTimer = nullptr;
    answersWhenIdle.clear();
    lineBuffer.clear();
}

SimulatedDrive::SimulatedDrive()
    : state(std::make_unique<State>())
{
    state->clock.start();
}

SimulatedDrive::~SimulatedDrive()
{
    stop();
}

bool SimulatedDrive::start()
{
    if (isRunning())
        return true;
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Raw line, no echo; the slave stays open here too, so the master never reads
    // EIO between two users of the port.
    termios attributes{};
    ::tcgetattr(slave, &attributes);
    ::cfmakeraw(&attributes);
    ::tcsetattr(slave, TCSANOW, &attributes);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    char path[128] = {};
    ::ttyname_r(slave, path, sizeof path);

    {
        const std::lock_guard<std::mutex> lock(state->mutex);
        state->slavePath = QString::fromLocal8Bit(path);
        state->error.clear();
        state->running = true;
    }
    state->master = master;
    state->slave = slave;
    state->context = new QObject;
    state->context->moveToThread(&state->thread);
    state->thread.setObjectName("SimulatedDrive");
    state->thread.start();
    QMetaObject::invokeMethod(state->context, [this] { state->attach(); }, Qt::BlockingQueuedConnection);
    return true;
}

void SimulatedDrive::stop()
{
    if (!isRunning())
        return;
    QMetaObject::invokeMethod(state->context, [this] { state->detach(); }, Qt::BlockingQueuedConnection);
    state->thread.quit();
    state->thread.wait();
    delete state->context;
    state->context = nullptr;
    ::close(state->master);
    ::close(state->slave);
    state->master = state->slave = -1;
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->running = false;
}

bool SimulatedDrive::isRunning() const
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    return state->running;
}

QString SimulatedDrive::slavePath() const
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    return state->slavePath;
}

QString SimulatedDrive::errorString() const
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    return state->error;
}

void SimulatedDrive::setTravelSpeed(double stepsPerSecond)
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->speed = stepsPerSecond;
}

void SimulatedDrive::setHomingTime(int milliseconds)
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->homingTimeMs = milliseconds;
}

int SimulatedDrive::position() const
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    return state->counter();
}

int SimulatedDrive::distanceFromHome() const
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    return int(std::lround(state->carriage()));
}

bool SimulatedDrive::isMoving() const
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    return state->moving();
}

void SimulatedDrive::placeCarriage(int distanceFromHome, int counter)
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->from = state->to = distanceFromHome;
    state->durationMs = 0;
    state->origin = distanceFromHome - counter;
}

void SimulatedDrive::answerWithError(const QByteArray& command, int code)
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->faults.append({Fault::Kind::ErrorPrompt, command, code, {}});
}

void SimulatedDrive::answerWith(const QByteArray& command, const QByteArray& rawReply)
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->faults.append({Fault::Kind::RawReply, command, 0, rawReply});
}

void SimulatedDrive::answerLate(const QByteArray& command, int delayMs)
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->faults.append({Fault::Kind::LateReply, command, delayMs, {}});
}

void SimulatedDrive::dropLine(const QByteArray& command)
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->faults.append({Fault::Kind::DropLine, command, 0, {}});
}

void SimulatedDrive::stallMoves(int afterSteps, int moves)
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->stallAfter = afterSteps;
    state->stalledMovesLeft = moves;
}

void SimulatedDrive::setSilent(bool silent)
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->silent = silent;
}

QList<QByteArray> SimulatedDrive::commands() const
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    return state->commands;
}

QByteArray SimulatedDrive::receivedBytes() const
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    return state->received;
}

void SimulatedDrive::clearLog()
{
    const std::lock_guard<std::mutex> lock(state->mutex);
    state->commands.clear();
    state->received.clear();
}
