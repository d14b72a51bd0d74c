#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT (Ctrl+C) and SIGTERM into the Qt signal stopRequested(), which
// arrives on the event loop, so that a scan can be stopped cleanly and what it
// received saved. The handler only writes to a pipe; the rest happens in the
// loop. Each signal is caught once: a second Ctrl+C ends the program the
// ordinary way should the clean stop hang. One instance at a time; the
// default handling returns when it is destroyed.
class StopSignals : public QObject
{
    Q_OBJECT

public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

signals:
    // `name` is "SIGINT" or "SIGTERM".
    void stopRequested(const QString& name);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
