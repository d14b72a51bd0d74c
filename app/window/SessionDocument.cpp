#include "window/SessionDocument.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParam.h"
#include "session/ReferenceBaseLevel.h"
#include "session/RegularFile.h"
#include "session/SessionFile.h"
#include "window/BackgroundWork.h"
#include "window/DialogProvider.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QWidget>

#include <algorithm>

const char* const SessionDocument::settingsGroup = "PlotSettings";
const char* const SessionDocument::saveFolderKey = "SaveFileFolder";

namespace {

const char* const kDefaultSaveFolder = "./";
const QString kSessionFilter = QStringLiteral("Langmuir Data Files (*.ldf)");
const QString kSessionSuffix = QStringLiteral("ldf");

QString applicationTitle()
{
    return QCoreApplication::applicationName();
}

QString fileError(const char* pattern, const QString& fileName, const QString& reason)
{
    return QString::fromLatin1(pattern).arg(fileName, reason);
}

} // namespace

SessionDocument::SessionDocument(QWidget& window, measuredData& data, ConfigParam& config,
                                 LangmuirSettingsWidget& settings)
    : m_window(window)
    , m_data(data)
    , m_config(config)
    , m_settings(settings)
    , m_dialogs(DialogProvider::standard())
{
    QSettings store;
    store.beginGroup(QLatin1String(settingsGroup));
    m_savePath = store.value(QLatin1String(saveFolderKey), QLatin1String(kDefaultSaveFolder)).toString();
    m_savedSettings = settingsSnapshot();
}

QMap<QString, QString> SessionDocument::settingsSnapshot() const
{
    QMap<QString, QString> map;
    m_settings.toStringMap(map);
    return map;
}

bool SessionDocument::isModified() const
{
    return m_modified || settingsSnapshot() != m_savedSettings;
}

QString SessionDocument::name() const
{
    if (m_fileName.isEmpty())
        return m_untitledName;
    return m_fileName.mid(m_fileName.lastIndexOf(QLatin1Char('/')) + 1);
}

void SessionDocument::setUntitledName(const QString& name)
{
    m_untitledName = name;
    if (m_fileName.isEmpty())
        emit nameChanged(name);
}

void SessionDocument::setFileName(const QString& fileName)
{
    m_fileName = fileName;
    emit nameChanged(name());
}

// Said only when it changes: every filed frame asks.
void SessionDocument::showMark()
{
    const bool modified = isModified();
    if (modified == m_shownModified)
        return;
    m_shownModified = modified;
    emit modifiedChanged(modified);
}

void SessionDocument::noteChange()
{
    m_modified = true;
    showMark();
}

void SessionDocument::settingsMayHaveChanged()
{
    showMark();
}

void SessionDocument::detachFromFile()
{
    m_ownFileName.clear();
    if (!m_fileName.isEmpty())
        setFileName(QString());
}

// The session's data and settings are those of `fileName`.
void SessionDocument::markClean(const QString& fileName)
{
    m_modified = false;
    m_savedSettings = settingsSnapshot();
    setFileName(fileName);
    showMark();
}

// ---------------------------------------------------------------- saving

bool SessionDocument::save()
{
    return saveSession(false);
}

bool SessionDocument::saveAs()
{
    return saveSession(true);
}

bool SessionDocument::saveSession(bool asNewName)
{
    const QString target = chooseSaveTarget(asNewName);
    if (target.isEmpty())
        return false;
    if (!writeSessionFile(target))
        return false;
    markSaved(target);
    return true;
}

QString SessionDocument::chooseSaveTarget(bool asNewName)
{
    if (!asNewName && !m_ownFileName.isEmpty())
        return m_ownFileName;
    // A loaded session is offered its own file, but only by the operator's
    // choice: a plain save never overwrites the file a session came from.
    const QString start = m_data.fileName.isEmpty() ? m_savePath : m_data.fileName;
    const QString chosen =
        m_dialogs->saveFileName(&m_window, QStringLiteral("Save File"), start, kSessionFilter, kSessionSuffix);
    if (!chosen.isEmpty())
        m_savePath = chosen;
    return chosen;
}

bool SessionDocument::writeSessionFile(const QString& target)
{
    // Written from copies on a thread of its own, so that a long save leaves
    // the window responsive; the session's data are implicitly shared, so the
    // copy costs next to nothing, and frames arriving meanwhile stay out of it.
    measuredData saved = m_data;
    const ConfigParam config = m_config;
    const LangmuirSettings settings = m_settings;
    const double frames = std::max(saved.frameCount(), 1);
    FramesWritten written{0};
    QString reason;
    SessionSave outcome = SessionSave::NotWritten;
    runWithProgress(
        &m_window, QStringLiteral("Saving %1 ...").arg(QFileInfo(target).fileName()),
        [&] { outcome = saveSessionFile(target, saved, config, settings, reason, &written); },
        [&] { return written / frames; });
    if (outcome == SessionSave::Saved) {
        m_data.fileName = saved.fileName;
        return true;
    }
    const char* pattern = outcome == SessionSave::NotOpened ? "Cannot write file [%1]\nError code: %2\n"
                                                            : "Cannot close file [%1]\nError code: %2\n";
    m_dialogs->critical(&m_window, applicationTitle(), fileError(pattern, target, reason));
    return false;
}

void SessionDocument::markSaved(const QString& target)
{
    m_ownFileName = target;
    markClean(target);
    QSettings store;
    store.beginGroup(QLatin1String(settingsGroup));
    store.setValue(QLatin1String(saveFolderKey), m_savePath);
    emit saved(target);
}

// ---------------------------------------------------------------- loading

bool SessionDocument::openForReading(QFile& file)
{
    QString reason;
    if (openRegularFile(file, QIODevice::ReadOnly | QIODevice::Text, reason))
        return true;
    m_dialogs->critical(&m_window, applicationTitle(),
                        fileError("Cannot open file [%1]\nError code: %2\n", file.fileName(), reason));
    return false;
}

int SessionDocument::load(const QString& fileName)
{
    qDebug() << "Loading file" << fileName;
    QFile file(fileName);
    if (!openForReading(file))
        return 0;
    QStringList changes;
    switch (readSessionInBackground(&m_window, file, m_data, m_config, m_settings, changes)) {
    case BackgroundRead::Read:
        break;
    case BackgroundRead::Cancelled:
        return 0;
    case BackgroundRead::Refused:
        m_dialogs->warning(&m_window, QStringLiteral("Invalid save file"), QStringLiteral("Save file invalid"));
        return 0;
    }
    m_settings.showRecord();
    // What was read is what the file holds: closing it unchanged loses nothing.
    markClean(fileName);
    emit loaded();
    if (!changes.isEmpty())
        m_dialogs->warning(&m_window, applicationTitle(),
                           QStringLiteral("%1 was read with these changes:\n%2").arg(fileName, changes.join('\n')));
    return 1;
}

void SessionDocument::restored()
{
    m_ownFileName.clear();
    m_settings.showRecord();
    markClean(QString());
    // In no file: closing it would lose it.
    noteChange();
    emit loaded();
}

// ---------------------------------------------------------------- closing

bool SessionDocument::confirmClose()
{
    return !isModified() || askToSaveChanges();
}

bool SessionDocument::mayDiscardScans()
{
    return m_data.positions.isEmpty() || !isModified() || askToSaveChanges();
}

// True once nothing would be lost: saved, or discarding was chosen.
bool SessionDocument::askToSaveChanges()
{
    const QMessageBox::StandardButton answer = m_dialogs->askToSaveChanges(
        &m_window, QStringLiteral("Session : '%1' has been modified.").arg(m_window.windowTitle()),
        QStringLiteral("Do you want to save changes?"));
    switch (answer) {
    case QMessageBox::Save:
        // A save that fails or is cancelled keeps the session rather than
        // dropping its data.
        return save();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------- base level

// Said before the base level is taken, whether or not one can be.
void SessionDocument::announceBaseLevel()
{
    m_dialogs->warning(&m_window, QStringLiteral("Base level set"),
                       QStringLiteral("Base level has been set and will be applied on following scans."));
}

bool SessionDocument::setBaseLevelFromSession()
{
    announceBaseLevel();
    if (m_data.positions.isEmpty())
        return false;
    m_data.setBaseLevel(referenceBaseLevel(m_data));
    return true;
}

bool SessionDocument::loadBaseLevel(const QString& fileName)
{
    announceBaseLevel();
    QFile file(fileName);
    if (!openForReading(file))
        return false;
    measuredData reference;
    ConfigParam referenceConfig;
    LangmuirSettings referenceSettings;
    if (!readSession(file, reference, referenceConfig, referenceSettings) || reference.positions.isEmpty())
        return false;
    m_data.setBaseLevel(referenceBaseLevel(reference));
    return true;
}

void SessionDocument::unsetBaseLevel()
{
    m_data.clearBaseLevel();
}
