#pragma once

#include <QMap>
#include <QObject>
#include <QString>

class ConfigParam;
class DialogProvider;
class LangmuirSettingsWidget;
class QFile;
class QWidget;
class measuredData;

// The session as a document: its name, the file it belongs to, whether it
// holds changes that are not in that file, and the operations on files that
// change these (save, save as, load, the close prompt, the base level).
//
// Changes are: filing a scan, loading a file, restoring a session left by an
// earlier run, and analysis settings other than those last saved or loaded.
// Saving clears the mark.
class SessionDocument : public QObject
{
    Q_OBJECT

public:
    // Settings store group and key of the file last saved to.
    static const char* const settingsGroup;
    static const char* const saveFolderKey;

    // `window` is the parent of the dialogs and the session whose data,
    // configuration and settings are saved and loaded; all outlive this.
    SessionDocument(QWidget& window, measuredData& data, ConfigParam& config, LangmuirSettingsWidget& settings);

    void setDialogProvider(DialogProvider* dialogs) { m_dialogs = dialogs; }

    // The file the session was last saved to from this window; empty before.
    QString ownFileName() const { return m_ownFileName; }
    // Whether closing would lose anything (see the class comment).
    bool isModified() const;

    bool save();
    bool saveAs();
    // Loads a session file: 1 on success, 0 on failure (after telling the
    // operator why).
    int load(const QString& fileName);
    // The session's contents were replaced by a copy that is in no file.
    void restored();
    // A scan was filed.
    void noteChange();
    // A new scan begins: the next plain save asks for a name.
    void detachFromFile();

    // True when the session may close: nothing unsaved, or the operator
    // saved or chose to discard it.
    bool confirmClose();
    // Whether a new scan may discard the session's scans: at once when
    // nothing is unsaved; otherwise as at closing.
    bool mayDiscardScans();

    // Base level. Setting one takes the first frame of the first position of
    // the session (returns whether it was set), loading one takes it from a
    // session file; either applies to scans stored afterwards only.
    bool setBaseLevelFromSession();
    bool loadBaseLevel(const QString& fileName);
    void unsetBaseLevel();

signals:
    // A load filled the session: the display starts over.
    void loaded();
    // The session was saved to `fileName`.
    void saved(const QString& fileName);

private:
    bool saveSession(bool asNewName);
    QString chooseSaveTarget(bool asNewName);
    bool writeSessionFile(const QString& target);
    void markSaved(const QString& target);
    bool askToSaveChanges();
    bool openForReading(QFile& file);
    void announceBaseLevel();
    QMap<QString, QString> settingsSnapshot() const;

    QWidget& m_window;
    measuredData& m_data;
    ConfigParam& m_config;
    LangmuirSettingsWidget& m_settings;
    DialogProvider* m_dialogs;

    QString m_savePath;
    QString m_ownFileName;
    bool m_modified = false;
    // The analysis settings as last saved or loaded.
    QMap<QString, QString> m_savedSettings;
};
