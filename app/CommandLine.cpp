#include "CommandLine.h"

#include <QFileInfo>

namespace {

bool namesFile(const QString& argument)
{
    if (argument.isEmpty() || argument.startsWith(QLatin1Char('-')))
        return false;
    if (argument.startsWith(QLatin1Char('/')))
        return QFileInfo(argument).isFile();
    return true;
}

} // namespace

QString sessionFileArgument(const QStringList& argumentsAfterProgram)
{
    QString fileName;
    for (const QString& argument : argumentsAfterProgram) {
        if (namesFile(argument))
            fileName = argument;
    }
    return fileName;
}
