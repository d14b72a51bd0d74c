#include "session/ExportOptions.h"

#include <QCheckBox>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

ExportOptions::ExportOptions(QWidget* parent, const QString& settingsPath)
    : QDialog(parent), m_settingsPath(settingsPath)
{
    m_settings.load(m_settingsPath);
    setWindowTitle(QStringLiteral("Export Data"));

    auto* group = new QGroupBox(QStringLiteral("Export Options"), this);
    auto* form = new QFormLayout(group);
    m_separator = new QLineEdit(m_settings.separator, group);
    m_separator->setMaxLength(ExportSettings::maxSeparatorLength);
    form->addRow(QStringLiteral("Separator:"), m_separator);
    m_header = new QCheckBox(QStringLiteral("Header Information"), group);
    m_ivData = new QCheckBox(QStringLiteral("IV Data"), group);
    m_plasmaParameters = new QCheckBox(QStringLiteral("Plasma Parameters"), group);
    m_errorsAndHarmonics = new QCheckBox(QStringLiteral("Errors and Harmonic Analysis"), group);
    m_waveForm = new QCheckBox(QStringLiteral("IV WaveForm"), group);
    m_band200 = new QCheckBox(QStringLiteral("200 MHz"), group);
    m_band400 = new QCheckBox(QStringLiteral("400 MHz"), group);
    for (QCheckBox* box :
         {m_header, m_ivData, m_plasmaParameters, m_errorsAndHarmonics, m_waveForm, m_band200, m_band400})
        form->addRow(box);

    m_header->setChecked(m_settings.header);
    m_ivData->setChecked(m_settings.doubleProbeCorrected);
    m_plasmaParameters->setChecked(m_settings.plasmaParameters);
    m_errorsAndHarmonics->setChecked(m_settings.errorsAndHarmonics);
    m_waveForm->setChecked(m_settings.waveFormData);
    m_band200->setChecked(m_settings.band200);
    m_band400->setChecked(m_settings.band400);
    // Waveform and band exports are not written yet: their boxes only keep
    // the stored choices.
    for (QCheckBox* box : {m_waveForm, m_band200, m_band400})
        box->hide();
    IVDataChange(m_waveForm->isChecked());

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(m_buttons);

    connect(m_waveForm, &QCheckBox::toggled, this, &ExportOptions::IVDataChange);
    for (QCheckBox* box : {m_header, m_ivData, m_plasmaParameters, m_errorsAndHarmonics})
        connect(box, &QCheckBox::toggled, this, &ExportOptions::DataCheck);
    connect(m_separator, &QLineEdit::textChanged, this, &ExportOptions::DataCheck);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &ExportOptions::OnOK);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    DataCheck();
}

void ExportOptions::IVDataChange(bool waveForm)
{
    m_band200->setEnabled(waveForm);
    m_band400->setEnabled(waveForm);
}

void ExportOptions::OnOK()
{
    const auto isChecked = [](const QCheckBox* box) { return box->checkState() != Qt::Unchecked; };
    m_settings.separator = m_separator->text();
    m_settings.header = isChecked(m_header);
    m_settings.ivInterpolate = isChecked(m_ivData);
    m_settings.doubleProbeCorrected = isChecked(m_ivData);
    m_settings.plasmaParameters = isChecked(m_plasmaParameters);
    m_settings.errorsAndHarmonics = isChecked(m_errorsAndHarmonics);
    m_settings.waveFormData = isChecked(m_waveForm);
    m_settings.band200 = isChecked(m_band200);
    m_settings.band400 = isChecked(m_band400);
    // The choices still hold for this export when they cannot be kept.
    const QString error = m_settings.store(m_settingsPath);
    if (!error.isEmpty())
        qWarning().noquote() << error;
}

void ExportOptions::DataCheck()
{
    const bool anySection = m_header->isChecked() || m_ivData->isChecked() || m_plasmaParameters->isChecked()
                            || m_errorsAndHarmonics->isChecked();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(anySection
                                                        && ExportSettings::separatorProblem(m_separator->text()).isEmpty());
}

QString ExportOptions::askTargetFile(QWidget* parent, const QString& startName)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Export File"), startName,
                                        QStringLiteral("Spread Sheet Documents (*.csv)"));
}

void showExportError(QWidget* parent, const QString& error)
{
    if (!error.isEmpty())
        QMessageBox::critical(parent, QStringLiteral("Orvel"), error);
}
