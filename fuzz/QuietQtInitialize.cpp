// The start of the fuzz targets whose code reports through Qt's message
// handler: a rejected input's warning, repeated for every input, is worth
// nothing here and slows the run.

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quietQtMessages();
    return 0;
}
