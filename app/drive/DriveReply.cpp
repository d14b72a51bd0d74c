#include "drive/DriveReply.h"

#include <cctype>
#include <climits>
#include <cstdlib>

namespace DriveReply {

bool isComplete(const QByteArray& reply, bool needPrompt)
{
    const int size = reply.size();
    if (size < 3 || reply.at(size - 2) != '\n')
        return false;
    const char last = reply.at(size - 1);
    return !needPrompt || last == successPrompt || last == errorPrompt;
}

QByteArray value(const QByteArray& reply)
{
    QByteArray body = reply;
    if (body.endsWith(successPrompt) || body.endsWith(errorPrompt))
        body.chop(1);
    if (body.endsWith('\n'))
        body.chop(1);
    if (body.endsWith('\r'))
        body.chop(1);
    int start = body.size();
    while (start > 0) {
        const char c = body.at(start - 1);
        if (c == '\r' || c == '\n' || c == '\0')
            break;
        --start;
    }
    return body.mid(start);
}

bool isPrintable(const QByteArray& value)
{
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 || byte > 0x7E) && byte != 0xA9)
            return false;
    }
    return true;
}

std::optional<int> leadingInteger(const QByteArray& text)
{
    const int signLength = text.startsWith('-') ? 1 : 0;
    if (text.size() <= signLength || !std::isdigit(static_cast<unsigned char>(text.at(signLength))))
        return std::nullopt;
    // QByteArray data is always NUL-terminated; strtoll saturates on overflow.
    const long long number = std::strtoll(text.constData(), nullptr, 10);
    return static_cast<int>(qBound<long long>(INT_MIN, number, INT_MAX));
}

std::optional<int> errorCode(const QByteArray& reply)
{
    if (!reply.endsWith(successPrompt))
        return std::nullopt;
    const std::optional<int> code = leadingInteger(value(reply));
    if (!code)
        return std::nullopt;
    return static_cast<int>(static_cast<unsigned>(*code) & 0x7FFFFFFFu);
}

} // namespace DriveReply
