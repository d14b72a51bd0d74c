// Recovery journals (".ldj"): what a killed program left in the recovery
// folder, possibly cut off or damaged. A journal that replays gives a session
// that must save and read again, since saving it is the whole point of
// recovering it.

#include "FuzzSupport.h"

#include "session/JournalReplay.h"
#include "session/SessionContents.h"
#include "session/SessionFile.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::inputFile(data, size, "input.ldj");
    SessionContents recovered;
    QString error;
    if (!replayJournal(path, recovered, error)) {
        fuzz::require(!error.isEmpty(), "a journal that cannot be replayed comes with a reason");
        return 0;
    }

    QBuffer saved;
    saved.open(QIODevice::WriteOnly);
    fuzz::require(writeSession(saved, recovered.data, recovered.config, recovered.settings),
                  "a recovered session can be saved");
    saved.close();
    saved.open(QIODevice::ReadOnly);
    SessionContents reopened;
    fuzz::require(readSession(saved, reopened.data, reopened.config, reopened.settings),
                  "a saved recovered session reads back");
    fuzz::require(reopened.data.frameCount() == recovered.data.frameCount(),
                  "the saved session keeps every recovered frame");
    return 0;
}
