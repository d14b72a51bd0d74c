// The session file reader: the input is a whole ".ldf" document. A document
// that reads must also survive being saved again: its data are written back
// and that document must read too (a session that opens but cannot be saved
// and reopened would be lost work).

#include "FuzzSupport.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"
#include "session/SessionFile.h"

#include <QBuffer>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    measuredData session;
    ConfigParam config;
    LangmuirSettings settings;
    if (!read(QByteArray(reinterpret_cast<const char*>(data), int(size)), session, config, settings))
        return 0;

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
