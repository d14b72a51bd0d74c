#pragma once

#include "analysis/LangmuirSettings.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;

// The "Process Settings" dialog. It is the session's analysis settings record
// itself: edits go straight into its LangmuirSettings part, which the session
// hands to the analysis. Its field texts persist between runs in
// ".settings/LangmuirSettingsWidget.xml" in the working directory.
class LangmuirSettingsWidget : public QWidget, public LangmuirSettings
{
    Q_OBJECT

public:
    explicit LangmuirSettingsWidget(QWidget* parent = nullptr);
    ~LangmuirSettingsWidget() override;

    // Selects the frame whose user Vp the dialog edits, and shows that frame's
    // user Vp and its check state.
    void setCurrentFrame(int frame);
    int currentFrame() const { return m_frame; }

    // Shows the record in the fields after something other than the dialog
    // replaced it (a session file was loaded), so that the next edit starts
    // from the record rather than from stale texts.
    void showRecord();

    static const char* const settingsFilePath;

signals:
    void probeResChanged(double value);
    void settingsClosed();

public slots:
    void setLangmuirSettings();
    void setPressureUnits();
    void setProbeRes();
    void dcCorrectionChanged(int state);
    void useUserVpClicked();
    void closeSettings();

private:
    QLineEdit* addField(const char* objectName, const QString& label, const QString& unit, const QString& toolTip,
                        const QString& text);
    void buildLayout();
    void connectFields();
    void redisplay();
    void readSettingsFile();
    void writeSettingsFile();
    void showFileError(const QString& message);

    int m_frame = 0;

    QLineEdit* m_ionMassEdit;
    QLineEdit* m_rpEdit;
    QLineEdit* m_rhEdit;
    QLineEdit* m_resEdit;
    QLineEdit* m_lpEdit;
    QLineEdit* m_tgEdit;
    QLineEdit* m_pressureEdit;
    QComboBox* m_pressureUnitBox;
    QLineEdit* m_sigmaNEdit;
    QLineEdit* m_sigmaEnEdit;
    QCheckBox* m_useUserVpBox;
    QLineEdit* m_userVpEdit;
    QComboBox* m_vpMethodBox;
    QCheckBox* m_correctDCBox;
};
