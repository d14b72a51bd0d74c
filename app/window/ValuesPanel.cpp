#include "window/ValuesPanel.h"

#include "analysis/HarmonicAnalysis.h"
#include "analysis/results.h"

#include <QGridLayout>
#include <QLabel>

#include <cmath>

namespace {

struct RowText
{
    const char* name;
    const char* unit;
    const char* objectName; // of its value and error labels, before "Value" and "Error"
};

const RowText kRowTexts[ValuesPanel::RowCount] = {
    {"kTe", "[eV]", "kTe"},
    {"Jp", "[A/m<sup>2</sup>]", "Jp"},
    {"Ni", "[m<sup>-3</sup>]", "Ni"},
    {"Ld", "[&micro;m]", "Ld"},
    {"kTe", "[eV]", "kTeHarmonic"},
    {"Iis", "[A]", "IisHarmonic"},
    {"Ni", "[m<sup>-3</sup>]", "NiHarmonic"},
    {"dIi/dV", "[A/V]", "SlopeHarmonic"},
};

constexpr double kMetresToMicrometres = 1e6;

QLabel* richLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::RichText);
    return label;
}

QString nameText(const char* name)
{
    return QStringLiteral("<font color=blue>%1</font>").arg(QLatin1String(name));
}

} // namespace

ValuesPanel::ValuesPanel(QWidget* parent)
    : QWidget(parent)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Value"), this), 0, 1);
    int line = 1;
    for (int row = 0; row < RowCount; ++row, ++line) {
        if (row == kTeHarmonicRow) // the floating-harmonic method's values, apart from the IV fit's
            grid->addWidget(new QLabel(QStringLiteral("Harmonic"), this), line++, 1);
        grid->addWidget(richLabel(nameText(kRowTexts[row].name), this), line, 0);
        const QString objectName = QLatin1String(kRowTexts[row].objectName);
        m_rows[row].value = richLabel(QString(), this);
        m_rows[row].value->setObjectName(objectName + QLatin1String("Value"));
        m_rows[row].value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-8.88e-888")));
        grid->addWidget(m_rows[row].value, line, 1);
        grid->addWidget(richLabel(QLatin1String(kRowTexts[row].unit), this), line, 2);
        m_rows[row].error = richLabel(QString(), this);
        m_rows[row].error->setObjectName(objectName + QLatin1String("Error"));
        grid->addWidget(m_rows[row].error, line, 3, Qt::AlignRight);
        grid->addWidget(new QLabel(QStringLiteral("[%]"), this), line, 4);
    }
    m_harmonicNote = new QLabel(this);
    m_harmonicNote->setObjectName(QStringLiteral("harmonicNote"));
    m_harmonicNote->setWordWrap(true);
    grid->addWidget(m_harmonicNote, line, 0, 1, 5);
}

void ValuesPanel::showResults(const results& r, const HarmonicResults& harmonic)
{
    const double values[RowCount][2] = {
        {r.kTe, r.kTe_error},
        {r.Jp, r.Jp_error},
        {r.Ni, r.Ni_error},
        {r.Ldebye * kMetresToMicrometres, r.Ldebye_error * kMetresToMicrometres},
        {harmonic.kTe, harmonic.kTeError},
        {harmonic.ionCurrent, HarmonicResults::notDetermined},
        {harmonic.ionDensity, HarmonicResults::notDetermined},
        {harmonic.ionSlope, HarmonicResults::notDetermined},
    };
    for (int row = 0; row < RowCount; ++row) {
        m_rows[row].value->setText(formatValue(values[row][0]));
        m_rows[row].error->setText(formatRelativeError(values[row][0], values[row][1]));
    }
    m_harmonicNote->setText(harmonic.determined()
                                ? QStringLiteral("Harmonics 2 to %1 fitted, residual %2 %")
                                      .arg(harmonic.harmonicsFitted + 1)
                                      .arg(harmonic.residual * 100.0, 0, 'f', 2)
                                : QStringLiteral("Harmonic analysis: %1").arg(harmonic.errorText));
}

void ValuesPanel::clear()
{
    for (const RowLabels& row : m_rows) {
        row.value->clear();
        row.error->clear();
    }
    m_harmonicNote->clear();
}

QString ValuesPanel::harmonicNote() const
{
    return m_harmonicNote->text();
}

QString ValuesPanel::valueText(Row row) const
{
    return m_rows[row].value->text();
}

QString ValuesPanel::errorText(Row row) const
{
    return m_rows[row].error->text();
}

QString ValuesPanel::formatValue(double value)
{
    const QString digits = std::isnan(value) ? QString() : QString::number(value, 'g', 3);
    return QStringLiteral("<font color=red>%1</font>").arg(digits);
}

QString ValuesPanel::formatRelativeError(double value, double error)
{
    if (value == 0.0 || std::isnan(value) || std::isnan(error))
        return QStringLiteral("<font color=green></font>");
    return QStringLiteral("<font color=green>%1 %</font>").arg(std::fabs(error / value) * 100.0, 0, 'f', 1);
}
