#pragma once

#include <QStringList>

// The session file named on the command line: of the arguments after the
// program name, the last one that is a file name. Arguments beginning with '-'
// or '/' are options (of the toolkit, or in another platform's command-line
// style) and are ignored - except that an argument beginning with '/' that
// names an existing file is an absolute path, which is how desktops and
// shells here pass files. Empty when no argument names a file.
QString sessionFileArgument(const QStringList& argumentsAfterProgram);
