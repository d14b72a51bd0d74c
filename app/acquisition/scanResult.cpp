#include "acquisition/scanResult.h"

void registerScanResultType()
{
    qRegisterMetaType<scanResult>("scanResult");
}
