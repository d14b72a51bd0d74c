#pragma once

#include <QString>

// Fields of the command line's comma-separated output.
namespace cli {

// The shortest text that reads back as the same double; "nan" for a value the
// analysis did not determine.
QString csvNumber(double value);

// A field as CSV requires it: in quotes, with its quotes doubled, when it holds
// a comma, a quote or a line break; as it is otherwise.
QString csvField(const QString& text);

} // namespace cli
