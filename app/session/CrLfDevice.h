#pragma once

#include <QByteArray>
#include <QIODevice>

// A write-only device that passes everything written to it on to `target`
// with every line feed turned into CR LF, so that a document's lines end with
// CR LF on every platform. The target's own text mode (which would add a
// second CR on some platforms) is off while this device exists.
class CrLfDevice : public QIODevice
{
public:
    explicit CrLfDevice(QIODevice& target);
    ~CrLfDevice() override;

    // Hands the buffered bytes to the target; false once the target has
    // refused a write.
    bool flushToTarget();
    void close() override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    QIODevice& target_;
    const bool targetTextMode_;
    QByteArray buffer_;
    bool failed_ = false;
};
