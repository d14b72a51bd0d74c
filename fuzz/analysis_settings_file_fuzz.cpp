// The analysis-settings dialog file (".settings/LangmuirSettingsWidget.xml"),
// read as the "Process Settings" dialog reads it when it opens.

#include "FuzzSupport.h"

#include "analysis/DialogSettingsFile.h"

#include <QMap>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::inputFile(data, size, "LangmuirSettingsWidget.xml");
    QMap<QString, QString> entries;
    const QString error = readDialogSettingsFile(path, QStringLiteral("LangmuirSettingsWidget"), entries);
    // The file exists and is readable: whatever it holds, no message.
    fuzz::require(error.isEmpty(), "a readable file gives no error message");
    return 0;
}
