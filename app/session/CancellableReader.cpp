#include "session/CancellableReader.h"

CancellableReader::CancellableReader(QIODevice& source)
    : source_(source)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

CancellableReader::~CancellableReader()
{
    close();
}

qint64 CancellableReader::readData(char* data, qint64 maxSize)
{
    if (cancelled_)
        return -1;
    const qint64 n = source_.read(data, maxSize);
    if (n > 0)
        done_ += n;
    // Cancelled while the source was being read: its piece is not passed on.
    return cancelled_ ? -1 : n;
}

qint64 CancellableReader::writeData(const char*, qint64)
{
    return -1;
}
