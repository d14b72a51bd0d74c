// orvel-cli recover: the recovery journals that sessions of the window or of
// `acquire` left when their program ended without saving them, listed, or one
// of them saved as a session file.

#include "CommandLine.h"
#include "Commands.h"

#include "session/JournalReplay.h"
#include "session/RecoveryCopy.h"
#include "session/SessionContents.h"
#include "session/SessionFile.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

#include <vector>

namespace cli {

namespace {

const QString command = QStringLiteral("recover");

QString lastWrittenText(const RecoveryCopy& copy)
{
    return copy.lastWritten().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// One line per journal no running program owns, oldest first.
int listJournals()
{
    for (const RecoveryCopy& copy : RecoveryCopy::claimOrphans(RecoveryCopy::defaultFolder())) {
        QString error;
        const std::optional<int> frames = recoveryFileFrames(copy.fileName(), error);
        const QString held = frames ? QStringLiteral("%1 frames").arg(*frames)
                                    : QStringLiteral("unreadable (%1)").arg(error);
        out() << QFileInfo(copy.fileName()).fileName() << "  " << held << "  last written " << lastWrittenText(copy)
              << '\n';
    }
    out().flush();
    return Success;
}

// The journal `name` (as --list names it; its suffix may be left out),
// claimed; invalid, with the reason in `error`, when there is none to claim.
RecoveryCopy claimJournal(const QString& name, QString& error)
{
    QString fileName = name;
    if (!fileName.endsWith(QLatin1String(RecoveryCopy::suffix))
        && !fileName.endsWith(QLatin1String(RecoveryCopy::legacySuffix)))
        fileName += QLatin1String(RecoveryCopy::suffix);
    const QString path = RecoveryCopy::defaultFolder() + QLatin1Char('/') + fileName;
    for (RecoveryCopy& copy : RecoveryCopy::claimOrphans(RecoveryCopy::defaultFolder()))
        if (copy.fileName() == path)
            return std::move(copy);
    error = QFileInfo::exists(path)
                ? QStringLiteral("the recovery journal \"%1\" belongs to a session that is still running").arg(name)
                : QStringLiteral("there is no recovery journal \"%1\" (orvel-cli recover --list lists them)")
                      .arg(name);
    return {};
}

int recoverJournal(const QString& name, const QString& path)
{
    // A name is a file of the recovery folder, never a path elsewhere.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.')))
        return usageError(command, QStringLiteral("\"%1\" is not the name of a recovery journal").arg(name));
    QString error;
    if (!canWrite(path, error))
        return fail(error);
    RecoveryCopy journal = claimJournal(name, error);
    if (!journal.isValid())
        return fail(error);
    SessionContents contents;
    if (!readRecoveryFile(journal, contents, error))
        return fail(QStringLiteral("the recovery journal \"%1\" cannot be read: %2").arg(name, error));
    // Saved as `acquire` saves its session; the journal goes only once the
    // session file is whole.
    QString reason;
    if (saveSessionFile(path, contents.data, contents.config, contents.settings, reason) != SessionSave::Saved)
        return fail(QStringLiteral("the session could not be saved to \"%1\" (%2); the recovery journal \"%3\" is "
                                   "kept")
                        .arg(path, reason, name));
    journal.remove();
    out() << "Saved " << contents.data.frameCount() << " frames recovered from " << name << " to " << path << '\n';
    out().flush();
    return Success;
}

} // namespace

int runRecover(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sessions that ended without being saved (a crash, a kill, a power cut) leave a recovery journal, which "
        "the window offers to restore at its next start. --list lists the journals no running program owns, one "
        "line each: name, frames and when it was last written. Given a NAME, the session of that journal is "
        "saved as a session file, and the journal is removed once the file is saved."));
    parser.addPositionalArgument(QStringLiteral("recover"), QStringLiteral("the command"), QStringLiteral("recover"));
    parser.addPositionalArgument(QStringLiteral("NAME"), QStringLiteral("the journal to recover, as --list names it"),
                                 QStringLiteral("[NAME]"));
    const QCommandLineOption list(QStringLiteral("list"), QStringLiteral("List the recovery journals."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Session file to save the recovered session to (.ldf); replaced "
                                                   "if it exists."),
                                    QStringLiteral("file"));
    parser.addOption(list);
    parser.addOption(output);
    if (const auto exit = parseArguments(parser, arguments, command))
        return *exit;
    const QStringList names = operands(parser);
    if (parser.isSet(list)) {
        if (!names.isEmpty() || parser.isSet(output))
            return usageError(command, QStringLiteral("--list takes no journal and no -o"));
        return listJournals();
    }
    if (names.size() != 1)
        return usageError(command, QStringLiteral("name one journal (orvel-cli recover --list lists them)"));
    if (parser.value(output).isEmpty())
        return usageError(command, QStringLiteral("name the session file to save: -o FILE.ldf"));
    return recoverJournal(names.first(), parser.value(output));
}

} // namespace cli
