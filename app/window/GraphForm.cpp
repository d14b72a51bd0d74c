#include "window/GraphForm.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <qwt_plot.h>
#include <qwt_scale_div.h>

GraphForm::GraphForm(QwtPlot* plot, QWidget* parent)
    : QDialog(parent)
    , m_plot(plot)
    , m_minimum(new QLineEdit(this))
    , m_maximum(new QLineEdit(this))
    , m_automatic(new QCheckBox(tr("Automatic Scale"), this))
{
    setWindowTitle(tr("Y-axis Scale"));

    auto* fields = new QFormLayout;
    fields->addRow(tr("Minimum"), m_minimum);
    fields->addRow(tr("Maximum"), m_maximum);
    fields->addRow(m_automatic);

    auto* close = new QPushButton(tr("Close"), this);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(m_automatic, &QCheckBox::toggled, this, &GraphForm::setPlotScale);
    connect(m_minimum, &QLineEdit::editingFinished, this, &GraphForm::setPlotScale);
    connect(m_maximum, &QLineEdit::editingFinished, this, &GraphForm::setPlotScale);
}

void GraphForm::showForPlot()
{
    loadFromPlot();
    show();
    raise();
    activateWindow();
}

void GraphForm::loadFromPlot()
{
    const QSignalBlocker blockAutomatic(m_automatic);
    const QSignalBlocker blockMinimum(m_minimum);
    const QSignalBlocker blockMaximum(m_maximum);
    const QwtScaleDiv& scale = m_plot->axisScaleDiv(QwtPlot::yLeft);
    m_automatic->setChecked(m_plot->axisAutoScale(QwtPlot::yLeft));
    m_minimum->setText(QStringLiteral("%1").arg(scale.lowerBound()));
    m_maximum->setText(QStringLiteral("%1").arg(scale.upperBound()));
}

void GraphForm::setPlotScale()
{
    bool minimumOk = false, maximumOk = false;
    const double minimum = m_minimum->text().toDouble(&minimumOk);
    const double maximum = m_maximum->text().toDouble(&maximumOk);
    const QwtScaleDiv& scale = m_plot->axisScaleDiv(QwtPlot::yLeft);
    const bool rangeOk = minimumOk && maximumOk && minimum < maximum;
    if (!minimumOk || !rangeOk)
        m_minimum->setText(QStringLiteral("%1").arg(scale.lowerBound()));
    if (!maximumOk || !rangeOk)
        m_maximum->setText(QStringLiteral("%1").arg(scale.upperBound()));

    if (m_automatic->isChecked())
        m_plot->setAxisAutoScale(QwtPlot::yLeft);
    else if (rangeOk)
        m_plot->setAxisScale(QwtPlot::yLeft, minimum, maximum);
    m_plot->replot();
}
