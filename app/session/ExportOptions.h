#pragma once

#include "session/ExportSettings.h"

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLineEdit;

// The "Export Data" dialog: the separator and the sections of an export.
// Constructed with the stored options; OK stores the choices, Cancel leaves
// the stored options alone.
class ExportOptions : public QDialog
{
    Q_OBJECT

public:
    explicit ExportOptions(QWidget* parent = nullptr, const QString& settingsPath = ExportSettings::defaultFilePath);

    // The options as the dialog was left (after OK: as stored).
    const ExportSettings& settings() const { return m_settings; }

    // Asks where to write an export ("Export File", starting at `startName`);
    // empty when the user gave no name.
    static QString askTargetFile(QWidget* parent, const QString& startName);

public slots:
    // Enables the band boxes exactly while waveform data is chosen.
    void IVDataChange(bool waveForm);
    // Copies the boxes into the options and stores them.
    void OnOK();
    // OK is possible only with a separator and at least one section to write.
    void DataCheck();

private:
    QString m_settingsPath;
    ExportSettings m_settings;
    QLineEdit* m_separator;
    QCheckBox* m_header;
    QCheckBox* m_ivData;
    QCheckBox* m_plasmaParameters;
    QCheckBox* m_errorsAndHarmonics;
    QCheckBox* m_waveForm;
    QCheckBox* m_band200;
    QCheckBox* m_band400;
    QDialogButtonBox* m_buttons;
};

// Tells the user that an export failed (a critical box titled "Orvel" with
// `error`); an empty `error` shows nothing.
void showExportError(QWidget* parent, const QString& error);
