#include "window/ValuesPanel.h"

#include "analysis/results.h"

#include <QGridLayout>
#include <QLabel>

#include <cmath>

namespace {

struct RowText
{
    const char* name;
    const char* unit;
};

const RowText kRowTexts[ValuesPanel::RowCount] = {
    {"kTe", "[eV]"},
    {"Jp", "[A/m<sup>2</sup>]"},
    {"Ni", "[m<sup>-3</sup>]"},
    {"Ld", "[&micro;m]"},
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
    for (int row = 0; row < RowCount; ++row) {
        const int line = row + 1;
        grid->addWidget(richLabel(nameText(kRowTexts[row].name), this), line, 0);
        m_rows[row].value = richLabel(QString(), this);
        m_rows[row].value->setObjectName(QStringLiteral("%1Value").arg(QLatin1String(kRowTexts[row].name)));
        m_rows[row].value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-8.88e-888")));
        grid->addWidget(m_rows[row].value, line, 1);
        grid->addWidget(richLabel(QLatin1String(kRowTexts[row].unit), this), line, 2);
        m_rows[row].error = richLabel(QString(), this);
        m_rows[row].error->setObjectName(QStringLiteral("%1Error").arg(QLatin1String(kRowTexts[row].name)));
        grid->addWidget(m_rows[row].error, line, 3, Qt::AlignRight);
        grid->addWidget(new QLabel(QStringLiteral("[%]"), this), line, 4);
    }
}

void ValuesPanel::showResults(const results& r)
{
    const double values[RowCount][2] = {
        {r.kTe, r.kTe_error},
        {r.Jp, r.Jp_error},
        {r.Ni, r.Ni_error},
        {r.Ldebye * kMetresToMicrometres, r.Ldebye_error * kMetresToMicrometres},
    };
    for (int row = 0; row < RowCount; ++row) {
        m_rows[row].value->setText(formatValue(values[row][0]));
        m_rows[row].error->setText(formatRelativeError(values[row][0], values[row][1]));
    }
}

void ValuesPanel::clear()
{
    for (const RowLabels& row : m_rows) {
        row.value->clear();
        row.error->clear();
    }
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
