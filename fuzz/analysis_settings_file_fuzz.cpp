// The analysis-settings dialog file (".settings/LangmuirSettingsWidget.xml"),
// read as the "Process Settings" dialog reads it when it opens, its field
// texts applied to a record by the dialog's own rule, and that record used to
// analyse a fixed probe curve: no setting a file can carry may crash the
// analysis, hang it, or make it report an infinite result as a success.

#include "FuzzSupport.h"

#include "analysis/DialogSettingsFile.h"
#include "analysis/LangmuirSettings.h"
#include "analysis/PlasmaAnalysis.h"
#include "analysis/ProcessSettingsFields.h"
#include "analysis/ScanRecord.h"

#include <QMap>

#include <cmath>

namespace {

// A probe in an argon plasma: ion saturation of 1 mA, electrons of kTe = 3 eV
// up to the plasma potential at 10 V, saturation of 50 mA above it; averaged
// over three sweeps, so the analysis also estimates its errors.
ScanRecord probeCurve()
{
    ScanRecord scan;
    for (double v = -50; v <= 50; v += 0.5) {
        const double electrons = 0.05 * std::exp((std::min(v, 10.0) - 10.0) / 3.0);
        scan.V.append(v);
        scan.I.append(electrons - 1e-3);
        scan.stdV.append(0.01);
        scan.stdI.append(1e-5);
    }
    scan.sweepCount = 3;
    return scan;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::inputFile(data, size, "LangmuirSettingsWidget.xml");
    QMap<QString, QString> entries;
    const QString error = readDialogSettingsFile(path, QStringLiteral("LangmuirSettingsWidget"), entries);
    // The file exists and is readable: whatever it holds, no message.
    fuzz::require(error.isEmpty(), "a readable file gives no error message");

    LangmuirSettings settings;
    applyFieldTexts(entries, entries.value(QStringLiteral("pressureUnitBox")).toInt(), settings);
    fuzz::require(settings.outOfRange().isEmpty(), "the dialog's texts set only values in their ranges");
    static const ScanRecord curve = probeCurve();
    ScanRecord scan = curve;
    analyse(scan, settings);
    fuzz::requireHonestAnalysis(scan.errorText, scan.parameters);
    return 0;
}
