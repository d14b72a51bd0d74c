// The session file reader: the input is a whole ".ldf" document. A document
// that reads is then used as the window and orvel-cli use it: analysed and
// exported (no analysis may report an infinite result as a success), saved
// again, and that document must read too (a session that opens but cannot be
// saved and reopened would be lost work).

#include "FuzzSupport.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/CsvExport.h"
#include "session/ExportSettings.h"
#include "session/SessionFile.h"

#include <QBuffer>
#include <QTextStream>

namespace {

bool read(QByteArray document, measuredData& data, ConfigParam& config, LangmuirSettings& settings)
{
    QBuffer buffer(&document);
    buffer.open(QIODevice::ReadOnly);
    QString error;
    const bool ok = readSession(buffer, data, config, settings, &error);
    fuzz::require(ok || !error.isEmpty(), "a rejected document comes with a reason");
    return ok;
}

void analyseAndExport(const measuredData& session, const LangmuirSettings& settings)
{
    fuzz::require(settings.outOfRange().isEmpty(), "settings read from a file lie in their ranges");
    for (const PlasmaParameterRow& row : plasmaParameterRows(session, settings))
        fuzz::requireHonestAnalysis(row.errorText, row.parameters);
    QString text;
    QTextStream out(&text);
    ExportSettings everything;
    everything.plasmaParameters = everything.ivInterpolate = true;
    writeExport(out, everything, session, settings);
    out.flush();
    fuzz::require(text.startsWith(QLatin1String("Orvel Export File")), "the export begins with its header");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    measuredData session;
    ConfigParam config;
    LangmuirSettings settings;
    if (!read(QByteArray(reinterpret_cast<const char*>(data), int(size)), session, config, settings))
        return 0;
    analyseAndExport(session, settings);

    QBuffer saved;
    saved.open(QIODevice::WriteOnly);
    fuzz::require(writeSession(saved, session, config, settings), "a session that was read can be written");

    measuredData reopened;
    ConfigParam reopenedConfig;
    LangmuirSettings reopenedSettings;
    fuzz::require(read(saved.data(), reopened, reopenedConfig, reopenedSettings), "a saved session reads back");
    fuzz::require(reopened.positions.size() == session.positions.size(), "the saved session keeps every position");
    return 0;
}
