#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QwtPlot;

// The "Y-axis Scale" dialog of one plot: sets the left axis to a fixed range
// or back to autoscaling. Changes apply as soon as a field is finished.
class GraphForm : public QDialog
{
    Q_OBJECT

public:
    explicit GraphForm(QwtPlot* plot, QWidget* parent = nullptr);

    // Fills the fields from the plot's left axis and shows the dialog.
    void showForPlot();
    // Fills the fields from the plot's left axis without applying them.
    void loadFromPlot();

public slots:
    // Applies the fields; a field that is not a number, or a range that is
    // empty or reversed, is rewritten with the axis's current bounds.
    void setPlotScale();

private:
    QwtPlot* m_plot;
    QLineEdit* m_minimum;
    QLineEdit* m_maximum;
    QCheckBox* m_automatic;
};
