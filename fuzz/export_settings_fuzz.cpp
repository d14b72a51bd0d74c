// The export options file (".settings/ExportSettings.xml"), loaded over the
// defaults as the export does before it asks for its options.

#include "FuzzSupport.h"

#include "session/ExportSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::inputFile(data, size, "ExportSettings.xml");
    ExportSettings settings;
    settings.load(path);
    // The choice of plasma parameters is made per export and never read.
    fuzz::require(!settings.plasmaParameters, "the plasma-parameter choice is not loaded");
    return 0;
}
