#pragma once

#include <QIODevice>

#include <atomic>

// A read-only device that passes on what `source` gives and counts the bytes,
// for a reader working on a thread of its own: another thread may watch the
// count and cancel, after which every read fails. A session file read through
// it stops at the next read with an error, leaving the reader's target
// untouched.
class CancellableReader : public QIODevice
{
public:
    explicit CancellableReader(QIODevice& source);
    ~CancellableReader() override;

    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }
    qint64 bytesDone() const { return done_; }

    bool isSequential() const override { return true; }
    bool atEnd() const override { return cancelled_ || source_.atEnd(); }
    qint64 bytesAvailable() const override { return source_.bytesAvailable() + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    QIODevice& source_;
    std::atomic<bool> cancelled_{false};
    std::atomic<qint64> done_{0};
};
