// The start of the fuzz targets whose code reports through Qt's message
// handler: a rejected input's warning, repeated for every input, is worth
// nothing here and slows the run.

#include "FuzzSupport.h"

#include <QLoggingCategory>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quietQtMessages();
    // The analysis writes a hundred debug lines per curve: not even formatted.
    QLoggingCategory::setFilterRules(QStringLiteral("orvel.*.debug=false"));
    return 0;
}
