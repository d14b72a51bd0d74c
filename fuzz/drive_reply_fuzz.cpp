// The drive's replies, parsed as the drive controllers parse them: the input is
// the byte stream arriving on the serial line. It is cut into replies the way
// LinearDrive collects them, byte by byte until a reply is complete (the end of
// the input stands for the drive falling silent), and every reply goes through
// the parsing its command's answer gets: the value line and its printability,
// the error prompt followed by the answer to "PR ER" (which needs no prompt),
// the step count after "IP=" and the number after "RLR=".

#include "FuzzSupport.h"

#include "drive/DriveReply.h"

namespace {

void parseAnswer(const QByteArray& reply)
{
    const QByteArray value = DriveReply::value(reply);
    fuzz::require(!value.contains('\r') && !value.contains('\n') && !value.contains('\0'),
                  "the value is one line");
    fuzz::require(reply.contains(value), "the value is part of the reply");
    DriveReply::isPrintable(value);
    if (reply.size() >= 3)
        DriveReply::leadingInteger(reply.mid(3)); // "IP=" and the step count
    const int rlrAt = reply.indexOf("RLR=");
    if (rlrAt >= 0)
        DriveReply::leadingInteger(reply.mid(rlrAt + 4));
    if (DriveReply::leadingInteger(value))
        fuzz::require(value.startsWith('-') || (value.at(0) >= '0' && value.at(0) <= '9'),
                      "a number is read only from a text that starts with one");
}

void parseErrorCodeAnswer(const QByteArray& reply)
{
    const auto code = DriveReply::errorCode(reply);
    fuzz::require(!code || *code >= 0, "an error code is never negative");
    fuzz::require(!code || reply.endsWith(DriveReply::successPrompt), "an error code needs the success prompt");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray stream = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    bool errorCodeNext = false;
    QByteArray reply;
    for (int i = 0; i <= stream.size(); ++i) {
        const bool silent = i == stream.size();
        if (!silent)
            reply.append(stream.at(i));
        const bool needPrompt = !errorCodeNext;
        if (!silent && !DriveReply::isComplete(reply, needPrompt))
            continue;
        if (errorCodeNext) {
            parseErrorCodeAnswer(reply);
            errorCodeNext = false;
        } else {
            parseAnswer(reply);
            errorCodeNext = DriveReply::isComplete(reply) && reply.endsWith(DriveReply::errorPrompt);
        }
        reply.clear();
    }
    return 0;
}
