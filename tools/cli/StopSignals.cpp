#include "StopSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The pipe from the signal handler to the event loop; -1 when none.
int signalPipe[2] = {-1, -1};

const int caughtSignals[] = {SIGINT, SIGTERM};

extern "C" void onStopSignal(int number)
{
    const int savedErrno = errno;
    const char byte = char(number);
    // A full pipe needs nothing more: a stop is already on its way.
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void setHandler(int number, void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(number, &action, nullptr);
}

} // namespace

StopSignals::StopSignals(QObject* parent)
    : QObject(parent)
{
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return; // the signals keep their default effect
    }
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readSignal);
    for (int number : caughtSignals)
        setHandler(number, onStopSignal, SA_RESTART | SA_RESETHAND);
}

StopSignals::~StopSignals()
{
    if (!m_notifier)
        return;
    for (int number : caughtSignals)
        setHandler(number, SIG_DFL, 0);
    delete m_notifier;
    close(signalPipe[0]);
    close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void StopSignals::readSignal()
{
    char byte = 0;
    while (read(signalPipe[0], &byte, 1) == 1)
        emit stopRequested(QString::fromLatin1(byte == SIGTERM ? "SIGTERM" : "SIGINT"));
}
