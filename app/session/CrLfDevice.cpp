#include "session/CrLfDevice.h"

#include <cstring>

namespace {

// Writes reach the target in blocks of about this size.
constexpr int blockSize = 1 << 16;

} // namespace

CrLfDevice::CrLfDevice(QIODevice& target)
    : target_(target), targetTextMode_(target.isTextModeEnabled())
{
    target_.setTextModeEnabled(false);
    buffer_.reserve(blockSize + blockSize / 2);
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

CrLfDevice::~CrLfDevice()
{
    close();
    target_.setTextModeEnabled(targetTextMode_);
}

bool CrLfDevice::flushToTarget()
{
    if (!failed_ && !buffer_.isEmpty())
        failed_ = target_.write(buffer_) != buffer_.size();
    buffer_.clear();
    return !failed_;
}

void CrLfDevice::close()
{
    if (isOpen())
        flushToTarget();
    QIODevice::close();
}

qint64 CrLfDevice::readData(char*, qint64)
{
    return -1;
}

qint64 CrLfDevice::writeData(const char* data, qint64 size)
{
    const char* const end = data + size;
    while (data < end) {
        const char* lineEnd = static_cast<const char*>(memchr(data, '\n', size_t(end - data)));
        if (!lineEnd) {
            buffer_.append(data, int(end - data));
            break;
        }
        buffer_.append(data, int(lineEnd - data));
        buffer_.append("\r\n", 2);
        data = lineEnd + 1;
    }
    if (buffer_.size() >= blockSize && !flushToTarget())
        return -1;
    return failed_ ? -1 : size;
}
