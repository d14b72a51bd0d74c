#pragma once

#include <QPointF>
#include <QString>
#include <QVector>

#include <array>

class PlotErrorBarCurve;
class QWidget;
class QwtPlotCurve;
class ThreeTracePlotter;
struct FrameView;

// The three plots of a session window and what each shows:
//  - plot 1, "VI Curve": the frame's IV curve as built from the low band
//    ("IV"), the high band's IV curve ("V/I 200"), the curve the analysis works
//    on, joined from both bands for averaged data, with its deviations as error
//    bars ("Corrected IV"), and that curve's dI/dV on the right axis; in the
//    trend view it shows the "Trend" curve instead, titled "Trend of" and the
//    quantity;
//  - plot 2, "200 V/I kHz": current and voltage over one period of the high
//    band (the 200 kHz excitation);
//  - plot 3, "100 V/I kHz": the same for the low band (100 kHz).
// Setting data never redraws; replot() or requestReplot() does.
class SessionPlots
{
public:
    enum Plot { IvPlot, HighBandPlot, LowBandPlot, PlotCount };

    struct ViewToggles
    {
        bool waveforms = true;   // plots 2 and 3
        bool derivative = true;  // dI/dV on plot 1
        bool errorBars = true;
        bool dataPoints = true;
    };

    // The plots are made as children of `parent`, for the caller to lay out.
    explicit SessionPlots(QWidget* parent);

    ThreeTracePlotter* plot(Plot which) const { return m_plots[which]; }

    // Curves of the frame; `derivativeHalfWidth` is the analysis' window.
    void showFrame(const FrameView& frame, int derivativeHalfWidth);
    // Empties every curve.
    void clear();

    // Plot 1 between the IV view and the trend view; the trend's points and
    // titles are kept while the IV view is shown. The trend view's title names
    // the quantity, its bottom axis the delay or the position.
    void setTrendView(bool on);
    bool isTrendView() const { return m_trendView; }
    void setTrend(const QVector<QPointF>& points, const QString& quantityLabel, bool overDelay);

    void setTracePens();
    void applyViewToggles(const ViewToggles& toggles);

    void requestReplot();
    void replot();

    // Curve by its legend name, for inspection.
    const QwtPlotCurve* curve(const QString& name) const;

private:
    void setIvTitles();
    void setTrendTitles();
    void showOnIvPlot(QwtPlotCurve* curve, bool visible);

    std::array<ThreeTracePlotter*, PlotCount> m_plots{};
    QwtPlotCurve* m_iv;
    QwtPlotCurve* m_ivHigh;
    PlotErrorBarCurve* m_corrected;
    QwtPlotCurve* m_derivative;
    QwtPlotCurve* m_trend;
    QwtPlotCurve* m_current200;
    QwtPlotCurve* m_voltage200;
    QwtPlotCurve* m_current100;
    QwtPlotCurve* m_voltage100;
    ViewToggles m_toggles;
    bool m_trendView = false;
    QString m_trendLabel;
    bool m_trendOverDelay = false;
};
