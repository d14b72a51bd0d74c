#include "window/ThreeTracePlotter.h"

#include "window/PlotErrorBarCurve.h"

#include <QMouseEvent>
#include <QTimer>
#include <QtMath>

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_picker_machine.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>

#include <algorithm>

namespace {

const char* const kAxisTitleFont = "Helvetica [Cronyx]";

// The data under an autoscaled plot keep changing, so the view to return to
// when zooming out is the one on screen when the first zoom begins, not the
// one the zoomer saw when it was made.
class RebasingZoomer : public QwtPlotZoomer
{
public:
    RebasingZoomer(int xAxis, int yAxis, QWidget* canvas)
        : QwtPlotZoomer(xAxis, yAxis, canvas, false)
    {
    }

protected:
    void begin() override
    {
        if (zoomRectIndex() == 0)
            setZoomBase(false);
        QwtPlotZoomer::begin();
    }
};

// Index of the first sample that starts a pair of consecutive samples whose
// x range contains x, or -1.
int bracketingSample(const QwtPlotCurve& curve, double x)
{
    const int count = int(curve.dataSize());
    for (int i = 0; i + 1 < count; ++i) {
        const double a = curve.sample(i).x();
        const double b = curve.sample(i + 1).x();
        if (std::min(a, b) <= x && x <= std::max(a, b))
            return i;
    }
    return -1;
}

bool isControlRightPress(const QMouseEvent* event)
{
    return event->button() == Qt::RightButton && (event->modifiers() & Qt::ControlModifier);
}

} // namespace

ThreeTracePlotter::ThreeTracePlotter(QWidget* parent)
    : QwtPlot(parent)
{
    setAutoReplot(false);
    setCanvasBackground(Qt::white);

    auto* grid = new QwtPlotGrid;
    grid->setMajorPen(QPen(Qt::lightGray, 0, Qt::DotLine));
    grid->attach(this);

    auto* legend = new QwtLegend;
    legend->setDefaultItemMode(QwtLegendData::Checkable);
    insertLegend(legend, QwtPlot::BottomLegend);
    connect(legend, &QwtLegend::checked, this, &ThreeTracePlotter::legendChecked);

    m_zoomer = new RebasingZoomer(QwtPlot::xBottom, QwtPlot::yLeft, canvas());
    m_zoomer->setRubberBandPen(QPen(Qt::darkBlue, 0, Qt::DashLine));
    m_zoomer->setTrackerMode(QwtPicker::AlwaysOff);
    connect(m_zoomer, &QwtPlotZoomer::zoomed, this, &ThreeTracePlotter::checkZoom);
    // The second zoomer follows the same rubber band for the right axis.
    m_secondZoomer = new RebasingZoomer(QwtPlot::xBottom, QwtPlot::yRight, canvas());
    m_secondZoomer->setRubberBand(QwtPicker::NoRubberBand);
    m_secondZoomer->setTrackerMode(QwtPicker::AlwaysOff);
    connect(m_secondZoomer, &QwtPlotZoomer::zoomed, this, &ThreeTracePlotter::checkSecondZoom);

    m_picker = new QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::VLineRubberBand, QwtPicker::AlwaysOff,
                                 canvas());
    m_picker->setStateMachine(new QwtPickerTrackerMachine);
    m_picker->setRubberBandPen(QPen(Qt::gray, 0, Qt::DashLine));
    m_picker->setEnabled(false);

    m_marker = new QwtPlotMarker;
    m_marker->setSymbol(new QwtSymbol(QwtSymbol::Ellipse, QBrush(Qt::yellow), QPen(Qt::black), QSize(8, 8)));
    m_marker->setLabelAlignment(Qt::AlignBottom);
    // Shown from the first reading on; the plot owns it from here.
    m_marker->setVisible(false);
    m_marker->attach(this);
}

QwtPlotCurve* ThreeTracePlotter::addTrace(const QString& name, const QPen& pen, int yAxis)
{
    auto* curve = new QwtPlotCurve;
    attachTrace(curve, name, pen, yAxis);
    return curve;
}

PlotErrorBarCurve* ThreeTracePlotter::addErrorBarTrace(const QString& name, const QPen& pen, int yAxis)
{
    auto* curve = new PlotErrorBarCurve;
    attachTrace(curve, name, pen, yAxis);
    return curve;
}

void ThreeTracePlotter::attachTrace(QwtPlotCurve* curve, const QString& name, const QPen& pen, int yAxis)
{
    curve->setTitle(name);
    curve->setItemAttribute(QwtPlotItem::Legend, !name.isEmpty());
    curve->setPen(pen);
    curve->setRenderHint(QwtPlotItem::RenderAntialiased);
    curve->setYAxis(yAxis);
    enableAxis(yAxis);
    curve->attach(this);
    syncLegendCheck(curve);
}

void ThreeTracePlotter::setAxisTitleText(int axisId, const QString& text)
{
    QwtText title(text);
    QFont font(QString::fromLatin1(kAxisTitleFont));
    font.setPointSize(10);
    title.setFont(font);
    setAxisTitle(axisId, title);
}

void ThreeTracePlotter::setTitles(const QString& plotTitle, const QString& xTitle, const QString& yLeftTitle,
                                  const QString& yRightTitle)
{
    setTitle(plotTitle);
    setAxisTitleText(QwtPlot::xBottom, xTitle);
    setAxisTitleText(QwtPlot::yLeft, yLeftTitle);
    setAxisTitleText(QwtPlot::yRight, yRightTitle);
}

void ThreeTracePlotter::setTraceVisible(QwtPlotItem* item, bool visible)
{
    item->setVisible(visible);
    syncLegendCheck(item);
}

void ThreeTracePlotter::syncLegendCheck(QwtPlotItem* item)
{
    auto* legendWidget = qobject_cast<QwtLegend*>(legend());
    if (!legendWidget)
        return;
    if (auto* label = qobject_cast<QwtLegendLabel*>(legendWidget->legendWidget(itemToInfo(item))))
        label->setChecked(item->isVisible());
}

void ThreeTracePlotter::clearTraces()
{
    for (QwtPlotItem* item : itemList(QwtPlotItem::Rtti_PlotCurve))
        static_cast<QwtPlotCurve*>(item)->setSamples(QVector<QPointF>());
    m_marker->setVisible(false);
}

QwtPlotCurve* ThreeTracePlotter::curveToTrack() const
{
    const QwtPlotItemList curves = itemList(QwtPlotItem::Rtti_PlotCurve);
    if (m_trackedCurve && curves.contains(m_trackedCurve))
        return m_trackedCurve;
    for (QwtPlotItem* item : curves) {
        auto* curve = static_cast<QwtPlotCurve*>(item);
        if (curve->isVisible() && curve->dataSize() >= 2)
            return curve;
    }
    return nullptr;
}

void ThreeTracePlotter::requestReplot()
{
    if (m_replotPending)
        return;
    m_replotPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_replotPending)
            replot();
    });
}

void ThreeTracePlotter::replot()
{
    m_replotPending = false;
    QwtPlot::replot();
}

void ThreeTracePlotter::checkZoom(const QRectF&)
{
    // Zoomed all the way out: follow the data again.
    if (m_zoomer->zoomRectIndex() != 0)
        return;
    setAxisAutoScale(QwtPlot::xBottom);
    setAxisAutoScale(QwtPlot::yLeft);
    replot();
}

void ThreeTracePlotter::checkSecondZoom(const QRectF&)
{
    if (m_secondZoomer->zoomRectIndex() != 0)
        return;
    setAxisAutoScale(QwtPlot::yRight);
    replot();
}

void ThreeTracePlotter::legendChecked(const QVariant& itemInfo, bool on, int)
{
    if (QwtPlotItem* item = infoToItem(itemInfo)) {
        item->setVisible(on);
        replot();
    }
}

QPoint ThreeTracePlotter::toCanvas(const QPoint& plotPos) const
{
    return canvas()->mapFrom(this, plotPos);
}

void ThreeTracePlotter::mousePressEvent(QMouseEvent* event)
{
    if (isControlRightPress(event) && startTracking()) {
        event->accept();
        return;
    }
    const QPoint canvasPos = toCanvas(event->pos());
    if (event->button() == Qt::LeftButton && canvas()->rect().contains(canvasPos)) {
        m_clickPending = true;
        emit plotClick(invTransform(QwtPlot::yLeft, canvasPos.y()));
    }
    QwtPlot::mousePressEvent(event);
}

void ThreeTracePlotter::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_tracking && event->button() == Qt::RightButton) {
        endTracking();
        event->accept();
        return;
    }
    if (m_clickPending && event->button() == Qt::LeftButton) {
        m_clickPending = false;
        emit plotRelease();
    }
    QwtPlot::mouseReleaseEvent(event);
}

void ThreeTracePlotter::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPointF pos = event->localPos();
    const QPoint pixel(qFloor(pos.x() + 0.5), qFloor(pos.y() + 0.5));
    if (childAt(pixel) == axisWidget(QwtPlot::yLeft))
        emit leftAxisDoubleClick();
    QwtPlot::mouseDoubleClickEvent(event);
}

void ThreeTracePlotter::mouseMoveEvent(QMouseEvent* event)
{
    if (m_tracking) {
        updateReading(toCanvas(event->pos()));
        event->accept();
        return;
    }
    QwtPlot::mouseMoveEvent(event);
}

bool ThreeTracePlotter::startTracking()
{
    m_readingCurve = curveToTrack();
    if (!m_readingCurve)
        return false;
    m_tracking = true;
    m_picker->setAxis(m_readingCurve->xAxis(), m_readingCurve->yAxis());
    m_picker->setEnabled(true);
    m_marker->setAxes(m_readingCurve->xAxis(), m_readingCurve->yAxis());
    // Hidden until the cursor is first over the curve's x range.
    m_marker->setVisible(false);
    return true;
}

void ThreeTracePlotter::endTracking()
{
    m_tracking = false;
    m_readingCurve = nullptr;
    m_picker->setEnabled(false);
}

void ThreeTracePlotter::updateReading(const QPoint& canvasPos)
{
    if (!itemList(QwtPlotItem::Rtti_PlotCurve).contains(m_readingCurve))
        return;
    const double x = invTransform(m_readingCurve->xAxis(), canvasPos.x());
    const double y = invTransform(m_readingCurve->yAxis(), canvasPos.y());
    const int first = bracketingSample(*m_readingCurve, x);
    if (first < 0)
        return;
    QwtText label(QStringLiteral("X:%1,Y:%2").arg(x, 0, 'f', 1).arg(y, 0, 'g', 2));
    label.setColor(m_readingCurve->pen().color());
    m_marker->setLabel(label);
    m_marker->setValue(x, m_readingCurve->sample(first).y());
    m_marker->setVisible(true);
    replot();
}
