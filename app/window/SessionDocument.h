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
// The name is the file's name once the session has been saved to a file or
// loaded from one, and the session's own "Session N" name otherwise,
// including once a new scan has replaced what came from the file.
//
// Changes are: filing a scan, restoring a session left by an earlier run
// (it is in no file), and analysis settings other than those last saved or
// loaded. Loading a file and saving clear the mark; a new scan leaves it as
// it was (what it discards was offered for saving before it began), and a
// base level is no change: it is not stored in the file.
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

    // The name shown for the session: its file's name, or the untitled name.
    QString name() const;
    // The name used while the session belongs to no file ("Session 2").
    void setUntitledName(const QString& name);
    QString untitledName() const { return m_untitledName; }

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
    // A new scan begins: what the session shows no longer comes from a
    // file, and the next plain save asks for a name.
    void detachFromFile();
    // The analysis settings may have changed: the mark is looked at again.
    void settingsMayHaveChanged();

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
    void nameChanged(const QString& name);
    void modifiedChanged(bool modified);
    // A load filled the session: the display starts over.
    void loaded();
    // The session was saved to `fileName`.
    void saved(const QString& fileName);

private:
    bool saveSession(bool asNewName);
    QString chooseSaveTarget(bool asNewName);
    bool writeSessionFile(const QString& target);
    void markSaved(const QString& target);
    void markClean(const QString& fileName);
    void setFileName(const QString& fileName);
    void showMark();
    bool askToSaveChanges();
    bool openForReading(QFile& file);
    void announceBaseLevel();
    QMap<QString, QString> settingsSnapshot() const;

    QWidget& m_window;
    measuredData& m_data;
    ConfigParam& m_config;
    LangmuirSettingsWidget& m_settings;
    DialogProvider* m_dialogs;

    QString m_untitledName;
    // The file the session's data are in: saved to or loaded from.
    QString m_fileName;

    QString m_savePath;
    QString m_ownFileName;
    bool m_modified = false;
    // The mark as last announced.
    bool m_shownModified = false;
    // The analysis settings as last saved or loaded.
    QMap<QString, QString> m_savedSettings;
};
