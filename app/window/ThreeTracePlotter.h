#pragma once

#include <QVariant>
#include <QVector>

#include <qwt_plot.h>

class PlotErrorBarCurve;
class QwtPlotCurve;
class QwtPlotMarker;
class QwtPlotPicker;
class QwtPlotZoomer;

// A plot with a few traces, a legend whose check boxes show and hide them,
// rubber-band zooming on both y axes, and point reading: Ctrl + right button
// held down puts a marker on the tracked curve under the cursor.
//
// Setting curve data never redraws by itself; callers change as many curves
// as they like and then call replot(), or requestReplot() to fold any number
// of requests within one pass of the event loop into one redraw.
class ThreeTracePlotter : public QwtPlot
{
    Q_OBJECT

public:
    explicit ThreeTracePlotter(QWidget* parent = nullptr);

    // A curve drawn with pen against yAxis, owned by the plot; a curve with
    // an empty name stays out of the legend.
    QwtPlotCurve* addTrace(const QString& name, const QPen& pen, int yAxis = QwtPlot::yLeft);
    PlotErrorBarCurve* addErrorBarTrace(const QString& name, const QPen& pen, int yAxis = QwtPlot::yLeft);

    // Axis title in the plots' title font.
    void setAxisTitleText(int axisId, const QString& text);
    void setTitles(const QString& plotTitle, const QString& xTitle, const QString& yLeftTitle,
                   const QString& yRightTitle = QString());

    // Shows or hides a trace and keeps its legend check box in step.
    void setTraceVisible(QwtPlotItem* item, bool visible);
    // Empties every curve and hides the point-reading marker.
    void clearTraces();

    // The curve point reading follows; when none is set (or it is detached),
    // the first visible curve with at least two points.
    void setTrackedCurve(QwtPlotCurve* curve) { m_trackedCurve = curve; }
    bool isTracking() const { return m_tracking; }
    const QwtPlotMarker* readingMarker() const { return m_marker; }

    QwtPlotZoomer* zoomer() const { return m_zoomer; }

    // Redraws once the event loop next runs, however often it is asked.
    void requestReplot();

signals:
    void leftAxisDoubleClick();
    // Left button pressed on the canvas, at Ypos on the left axis.
    void plotClick(double Ypos);
    void plotRelease();

public slots:
    void replot() override;
    void checkZoom(const QRectF& rect);
    void checkSecondZoom(const QRectF& rect);
    void legendChecked(const QVariant& itemInfo, bool on, int index);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QwtPlotCurve* curveToTrack() const;
    void attachTrace(QwtPlotCurve* curve, const QString& name, const QPen& pen, int yAxis);
    void syncLegendCheck(QwtPlotItem* item);
    bool startTracking();
    void endTracking();
    void updateReading(const QPoint& canvasPos);
    QPoint toCanvas(const QPoint& plotPos) const;

    bool m_tracking = false;
    bool m_clickPending = false;
    bool m_replotPending = false;
    QwtPlotCurve* m_trackedCurve = nullptr;
    QwtPlotCurve* m_readingCurve = nullptr;
    QwtPlotMarker* m_marker = nullptr;
    QwtPlotPicker* m_picker = nullptr;
    QwtPlotZoomer* m_zoomer = nullptr;
    QwtPlotZoomer* m_secondZoomer = nullptr;
};
