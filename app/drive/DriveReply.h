#pragma once

#include <QByteArray>

#include <optional>

// Framing of the drive's answers, as pure functions over the bytes received so
// far. The drive ends an answer with a line feed and a one-byte prompt: ">" when
// the command succeeded, "?" when the drive reports an error.
namespace DriveReply {

constexpr char successPrompt = '>';
constexpr char errorPrompt = '?';

// True once `reply` is at least three bytes long and ends with a line feed and a
// prompt; with `needPrompt` false, a line feed followed by any byte will do.
bool isComplete(const QByteArray& reply, bool needPrompt = true);

// The last line of an answer: the text after the previous carriage return, line
// feed or NUL, without the final line break and prompt.
QByteArray value(const QByteArray& reply);

// Every byte is printable ASCII or 0xA9, the one other byte the drive uses in texts.
bool isPrintable(const QByteArray& value);

// The decimal integer at the start of `text` (an optional minus sign, then at
// least one digit), clamped to the int range; nothing when `text` does not start with one.
std::optional<int> leadingInteger(const QByteArray& text);

// The error code in the drive's answer to "PR ER": the answer's value when it
// ends with ">" and its value is a number, with the sign bit cleared.
std::optional<int> errorCode(const QByteArray& reply);

} // namespace DriveReply
