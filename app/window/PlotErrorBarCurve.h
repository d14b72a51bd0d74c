#pragma once

#include <QVector>

#include <qwt_plot_curve.h>

// A curve whose points each carry an error value, drawn as a vertical bar
// y - error .. y + error with caps. The bars count in the autoscale range so
// that they are never cut off by the axes. Bars and point symbols can be
// switched off separately ("Show Error bars", "Show data points").
class PlotErrorBarCurve : public QwtPlotCurve
{
public:
    explicit PlotErrorBarCurve(const QString& title = QString());

    // Points beyond the shortest of the three vectors are dropped; an error
    // counts by its magnitude.
    void setSamples(const QVector<double>& x, const QVector<double>& y, const QVector<double>& errors);
    const QVector<double>& errors() const { return m_errors; }

    void setErrorBarsVisible(bool visible);
    bool errorBarsVisible() const { return m_errorBarsVisible; }
    void setPointsVisible(bool visible);
    bool pointsVisible() const { return m_pointsVisible; }

    QRectF boundingRect() const override;
    void drawSeries(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, const QRectF& canvasRect,
                    int from, int to) const override;

protected:
    void drawSymbols(QPainter* painter, const QwtSymbol& symbol, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                     const QRectF& canvasRect, int from, int to) const override;

private:
    double errorAt(int index) const;
    void drawErrorBars(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, int from, int to) const;

    QVector<double> m_errors;
    bool m_errorBarsVisible = true;
    bool m_pointsVisible = true;
};
