#include "analysis/LangmuirSettingsWidget.h"

#include "analysis/DialogSettingsFile.h"
#include "analysis/ProcessSettingsFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleValidator>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

const char* const LangmuirSettingsWidget::settingsFilePath = ".settings/LangmuirSettingsWidget.xml";

namespace {

const char* const kFileClass = "LangmuirSettingsWidget";

QString fieldText(double value)
{
    return QString::number(value, 'G', 6);
}

// The validator guides typing; whether a text is taken is decided by the
// field's range, the rule every reader of the dialog's file follows as well.
void limitTo(QLineEdit* edit)
{
    const NumberRange& range = *fieldRange(edit->objectName());
    auto* validator = new QDoubleValidator(range.minimum, range.maximum, 10, edit);
    // The field texts are stored in a file; keep them independent of the locale.
    validator->setLocale(QLocale::c());
    edit->setValidator(validator);
}

bool isAcceptable(const QLineEdit* edit)
{
    return !fieldRange(edit->objectName()) || acceptsFieldText(edit->objectName(), edit->text());
}

// A text the field does not take is taken back to the previous one.
void undoIfRejected(QLineEdit* edit)
{
    if (!isAcceptable(edit))
        edit->undo();
}

double fieldNumber(const QLineEdit* edit)
{
    return edit->text().toDouble();
}

} // namespace

LangmuirSettingsWidget::LangmuirSettingsWidget(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("Process Settings"));
    buildLayout();
    readSettingsFile();
    connectFields();
    dcCorrectionChanged(m_correctDCBox->checkState());
    setLangmuirSettings();
    setProbeRes();
}

LangmuirSettingsWidget::~LangmuirSettingsWidget()
{
    writeSettingsFile();
}

QLineEdit* LangmuirSettingsWidget::addField(const char* objectName, const QString& label, const QString& unit,
                                            const QString& toolTip, const QString& text)
{
    auto* edit = new QLineEdit(text);
    edit->setObjectName(QLatin1String(objectName));
    edit->setToolTip(toolTip);
    auto* grid = static_cast<QGridLayout*>(layout()->itemAt(0)->layout());
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(label), row, 0);
    grid->addWidget(edit, row, 1);
    if (!unit.isEmpty())
        grid->addWidget(new QLabel(unit), row, 2);
    return edit;
}

void LangmuirSettingsWidget::buildLayout()
{
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    outer->addLayout(grid);

    m_ionMassEdit = addField("ionMassEdit", QStringLiteral("Ion Mass"), QStringLiteral("[amu]"),
                             QStringLiteral("Atomic Mass Unit"), QStringLiteral("40"));
    m_rpEdit = addField("rpEdit", QStringLiteral("Probe radius"), QStringLiteral("[m]"), QStringLiteral("meters"),
                        QStringLiteral("3.5E-3"));
    m_rhEdit = addField("rhEdit", QStringLiteral("Holder radius"), QStringLiteral("[m]"),
                        QStringLiteral("Probe holder radius"), QStringLiteral("2E-3"));
    m_lpEdit = addField("lpEdit", QStringLiteral("Probe length"), QStringLiteral("[m]"), QStringLiteral("meters"),
                        QStringLiteral("1.2E-2"));
    m_resEdit = addField("resEdit", QStringLiteral("Probe resistance"), QStringLiteral("[Ohm]"), QString(),
                         QStringLiteral("0"));

    m_useUserVpBox = new QCheckBox(QStringLiteral("Use User Vp at : "));
    m_useUserVpBox->setObjectName(QStringLiteral("useUserVpBox"));
    m_userVpEdit = new QLineEdit(QStringLiteral("31"));
    m_userVpEdit->setObjectName(QStringLiteral("userVpEdit"));
    m_userVpEdit->setEnabled(false);
    int row = grid->rowCount();
    grid->addWidget(m_useUserVpBox, row, 0);
    grid->addWidget(m_userVpEdit, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("[V]")), row, 2);

    m_tgEdit = addField("tgEdit", QStringLiteral("Gas temperature"), QStringLiteral("[K]"), QStringLiteral("Kelvin"),
                        QStringLiteral("300"));
    m_pressureEdit = addField("pressureEdit", QStringLiteral("Gas pressure"), QString(), QString(),
                              QStringLiteral("2.4E-3"));
    m_pressureUnitBox = new QComboBox;
    m_pressureUnitBox->setObjectName(QStringLiteral("pressureUnitBox"));
    for (const PressureUnit& unit : pressureUnits)
        m_pressureUnitBox->addItem(QLatin1String(unit.label));
    grid->addWidget(m_pressureUnitBox, grid->rowCount() - 1, 2);

    m_vpMethodBox = new QComboBox;
    m_vpMethodBox->setObjectName(QStringLiteral("useZeroCrossing"));
    m_vpMethodBox->addItem(QStringLiteral("Use Intersecting Slopes"));
    m_vpMethodBox->addItem(QStringLiteral("Use Zero Crossing of 2nd Derivative"));
    m_vpMethodBox->setToolTip(QStringLiteral("Select method to used to find Vp"));
    row = grid->rowCount();
    grid->addWidget(new QLabel(QStringLiteral("Vp Method")), row, 0);
    grid->addWidget(m_vpMethodBox, row, 1, 1, 2);

    m_correctDCBox = new QCheckBox(QStringLiteral("DC Compensation"));
    m_correctDCBox->setObjectName(QStringLiteral("correctDC"));
    m_correctDCBox->setToolTip(QStringLiteral("Compensate for plasma resistance"));
    m_correctDCBox->setChecked(true);
    grid->addWidget(m_correctDCBox, grid->rowCount(), 0, 1, 3);

    auto* collisions = new QGroupBox(QStringLiteral("Collision cross-section"));
    auto* collisionGrid = new QGridLayout(collisions);
    auto addCrossSection = [&](const char* objectName, const QString& label, const QString& toolTip,
                               const QString& text) {
        auto* edit = new QLineEdit(text);
        edit->setObjectName(QLatin1String(objectName));
        edit->setToolTip(toolTip);
        auto* unit = new QLabel(QStringLiteral("[m<sup>2</sup>]"));
        unit->setToolTip(QStringLiteral("square meters"));
        const int r = collisionGrid->rowCount();
        collisionGrid->addWidget(new QLabel(label), r, 0);
        collisionGrid->addWidget(edit, r, 1);
        collisionGrid->addWidget(unit, r, 2);
        return edit;
    };
    m_sigmaNEdit = addCrossSection("sigmaNEdit", QStringLiteral("Ion-Neutral"),
                                   QStringLiteral("Ion - Neutral momentum transfer collision cross-section"),
                                   QStringLiteral("8.8e-19"));
    m_sigmaEnEdit = addCrossSection("sigmaEnEdit", QStringLiteral("Electron-Neutral"),
                                    QStringLiteral("Electron - Neutral momentum transfer collision cross-section"),
                                    QStringLiteral("4.14e-20"));
    outer->addWidget(collisions);

    auto* closeButton = new QPushButton(QStringLiteral("CLOSE"));
    closeButton->setObjectName(QStringLiteral("closeButton"));
    connect(closeButton, &QPushButton::clicked, this, &LangmuirSettingsWidget::closeSettings);
    outer->addWidget(closeButton, 0, Qt::AlignRight);

    for (QLineEdit* edit : {m_rpEdit, m_lpEdit, m_resEdit, m_ionMassEdit, m_tgEdit, m_pressureEdit, m_sigmaNEdit})
        limitTo(edit);
}

void LangmuirSettingsWidget::connectFields()
{
    for (QLineEdit* edit : {m_rpEdit, m_lpEdit, m_ionMassEdit, m_userVpEdit, m_tgEdit, m_pressureEdit, m_sigmaNEdit})
        connect(edit, &QLineEdit::editingFinished, this, &LangmuirSettingsWidget::setLangmuirSettings);
    connect(m_resEdit, &QLineEdit::editingFinished, this, &LangmuirSettingsWidget::setProbeRes);
    connect(m_pressureUnitBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &LangmuirSettingsWidget::setPressureUnits);
    connect(m_vpMethodBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &LangmuirSettingsWidget::setLangmuirSettings);
    connect(m_correctDCBox, &QCheckBox::stateChanged, this, &LangmuirSettingsWidget::dcCorrectionChanged);
    connect(m_useUserVpBox, &QCheckBox::clicked, this, &LangmuirSettingsWidget::useUserVpClicked);
}

void LangmuirSettingsWidget::setCurrentFrame(int frame)
{
    m_frame = frame;
    const double userVp = userVpForFrame(frame);
    if (!std::isnan(userVp))
        m_userVpEdit->setText(fieldText(userVp));
    const bool use = useUserVpForFrame(frame);
    m_useUserVpBox->setChecked(use);
    m_userVpEdit->setEnabled(use);
}

void LangmuirSettingsWidget::showRecord()
{
    const QSignalBlocker blockMethod(m_vpMethodBox);
    const QSignalBlocker blockCorrection(m_correctDCBox);
    m_vpMethodBox->setCurrentIndex(bUse2ndDerivativeZeroVp ? 1 : 0);
    m_correctDCBox->setChecked(correctDC);
    m_rhEdit->setText(fieldText(probe_holder));
    m_resEdit->setText(fieldText(probe_resistance));
    m_sigmaEnEdit->setText(fieldText(sigmaEn));
    redisplay();
    setCurrentFrame(m_frame);
}

void LangmuirSettingsWidget::setLangmuirSettings()
{
    // A field whose text is still rejected after the undo keeps the record's
    // value; the redisplay below then shows that value again.
    QMap<QString, QString> texts;
    for (QLineEdit* edit : {m_ionMassEdit, m_rpEdit, m_lpEdit, m_tgEdit, m_sigmaNEdit, m_pressureEdit}) {
        undoIfRejected(edit);
        texts.insert(edit->objectName(), edit->text());
    }
    applyFieldTexts(texts, m_pressureUnitBox->currentIndex(), *this);
    if (m_useUserVpBox->isChecked()) {
        setUseUserVpForFrame(m_frame, true);
        bool isNumber = false;
        const double userVp = m_userVpEdit->text().toDouble(&isNumber);
        if (isNumber)
            setUserVpForFrame(m_frame, userVp);
    }
    bUse2ndDerivativeZeroVp = m_vpMethodBox->currentIndex() == 1;
    redisplay();
}

void LangmuirSettingsWidget::redisplay()
{
    m_lpEdit->setText(fieldText(probe_length));
    m_ionMassEdit->setText(fieldText(ionmass));
    m_rpEdit->setText(fieldText(probe_radius));
    m_sigmaNEdit->setText(fieldText(sigmaN));
    m_tgEdit->setText(fieldText(gas_temperature));
    setPressureUnits();
}

void LangmuirSettingsWidget::setPressureUnits()
{
    m_pressureEdit->setText(fieldText(pressure * pressureUnitAt(m_pressureUnitBox->currentIndex()).fromTorr));
}

void LangmuirSettingsWidget::setProbeRes()
{
    if (!isAcceptable(m_resEdit)) {
        if (m_resEdit->isUndoAvailable())
            m_resEdit->undo();
        if (!isAcceptable(m_resEdit))
            m_resEdit->setText(fieldText(probe_resistance));
    }
    const double value = fieldNumber(m_resEdit);
    if (value == probe_resistance)
        return;
    probe_resistance = value;
    emit probeResChanged(value);
}

void LangmuirSettingsWidget::dcCorrectionChanged(int state)
{
    correctDC = state == Qt::Checked;
}

void LangmuirSettingsWidget::useUserVpClicked()
{
    const bool use = m_useUserVpBox->isChecked();
    m_userVpEdit->setEnabled(use);
    setUseUserVpForFrame(m_frame, use);
    setLangmuirSettings();
}

void LangmuirSettingsWidget::closeSettings()
{
    emit settingsClosed();
    close();
}

void LangmuirSettingsWidget::readSettingsFile()
{
    QMap<QString, QString> entries;
    const QString error = readDialogSettingsFile(QLatin1String(settingsFilePath), QLatin1String(kFileClass), entries);
    if (!error.isEmpty()) {
        showFileError(error);
        return;
    }
    for (QLineEdit* edit : {m_ionMassEdit, m_rpEdit, m_rhEdit, m_resEdit, m_lpEdit, m_tgEdit, m_pressureEdit,
                            m_sigmaNEdit, m_sigmaEnEdit}) {
        const auto it = entries.constFind(edit->objectName());
        if (it != entries.constEnd())
            edit->setText(it.value());
    }
    // Indexes outside a box's items would leave it without a selection.
    auto restoreIndex = [&](QComboBox* box) {
        const auto it = entries.constFind(box->objectName());
        if (it == entries.constEnd())
            return;
        const int index = it.value().toInt();
        if (index >= 0 && index < box->count())
            box->setCurrentIndex(index);
    };
    restoreIndex(m_pressureUnitBox);
    restoreIndex(m_vpMethodBox);
    const auto correct = entries.constFind(m_correctDCBox->objectName());
    if (correct != entries.constEnd())
        m_correctDCBox->setChecked(correct.value().toInt() != 0);
}

void LangmuirSettingsWidget::writeSettingsFile()
{
    QMap<QString, QString> block;
    toStringMap(block);
    const DialogEntries entries = {
        {m_ionMassEdit->objectName(), m_ionMassEdit->text()},
        {m_rpEdit->objectName(), m_rpEdit->text()},
        {m_rhEdit->objectName(), m_rhEdit->text()},
        {m_resEdit->objectName(), m_resEdit->text()},
        {m_lpEdit->objectName(), m_lpEdit->text()},
        {m_tgEdit->objectName(), m_tgEdit->text()},
        {m_pressureEdit->objectName(), m_pressureEdit->text()},
        {m_pressureUnitBox->objectName(), QString::number(m_pressureUnitBox->currentIndex())},
        {m_sigmaNEdit->objectName(), m_sigmaNEdit->text()},
        {m_sigmaEnEdit->objectName(), m_sigmaEnEdit->text()},
        {m_correctDCBox->objectName(), QLatin1String(correctDC ? "1" : "0")},
        {m_vpMethodBox->objectName(), QLatin1String(bUse2ndDerivativeZeroVp ? "1" : "0")},
        {QStringLiteral("totoenstring"), m_sigmaEnEdit->text()},
        {QStringLiteral("tutualaplage"), block.value(QStringLiteral("UserVpValuesList"))},
    };
    const QString error = writeDialogSettingsFile(QLatin1String(settingsFilePath), QLatin1String(kFileClass), entries);
    if (!error.isEmpty())
        showFileError(error);
}

void LangmuirSettingsWidget::showFileError(const QString& message)
{
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), message, QMessageBox::Ok);
}
