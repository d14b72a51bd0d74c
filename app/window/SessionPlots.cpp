#include "window/SessionPlots.h"

#include "acquisition/DelayWrapper.h"
#include "analysis/Numerics.h"
#include "window/FrameView.h"
#include "window/PlotErrorBarCurve.h"
#include "window/ThreeTracePlotter.h"

#include <qwt_plot_curve.h>
#include <qwt_symbol.h>

namespace {

const QString kVoltageTitle = QStringLiteral("Voltage [V]");
const QString kCurrentTitle = QStringLiteral("I [A]");
// A period lasts microseconds: in milliseconds the tick labels of the time
// axis are long fractions that run together.
const QString kTimeTitle = QStringLiteral("Time [\u00b5s]");
constexpr double kMicrosecondsPerMillisecond = 1000.0;
// Ticks a waveform plot's time axis carries at most, so that a narrow plot
// keeps its labels apart.
constexpr int kTimeTicks = 5;
const QString kDerivativeTitle = QStringLiteral("dI/dV [A/V]");

QPen tracePen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(colour, 1.5, style);
    pen.setCosmetic(true);
    return pen;
}

void setCurve(QwtPlotCurve* curve, const QVector<double>& x, const QVector<double>& y)
{
    const int count = std::min(x.size(), y.size());
    curve->setSamples(x.mid(0, count), y.mid(0, count));
}

void clearCurve(QwtPlotCurve* curve)
{
    curve->setSamples(QVector<QPointF>());
}

QVector<QPointF> derivativeOf(const QVector<double>& V, const QVector<double>& I, int halfWidth)
{
    const int count = std::min(V.size(), I.size());
    IvCurve curve(count);
    for (int i = 0; i < count; ++i)
        curve[i] = IvPoint{I[i], V[i]};
    DerivativeCurve slopes;
    derivative(curve, 0, slopes, halfWidth);
    QVector<QPointF> points;
    points.reserve(slopes.size());
    for (const DerivativePoint& s : slopes)
        points.append(QPointF(s.voltage, s.slope));
    return points;
}

void showWaveforms(const DelayWrapper* wrapper, QwtPlotCurve* current, QwtPlotCurve* voltage)
{
    if (!wrapper) {
        clearCurve(current);
        clearCurve(voltage);
        return;
    }
    QVector<double> time = wrapper->time();
    for (double& t : time)
        t *= kMicrosecondsPerMillisecond;
    setCurve(current, time, wrapper->waveFormI());
    setCurve(voltage, time, wrapper->waveFormV());
}

} // namespace

SessionPlots::SessionPlots(QWidget* parent)
{
    for (ThreeTracePlotter*& p : m_plots)
        p = new ThreeTracePlotter(parent);

    ThreeTracePlotter* iv = m_plots[IvPlot];
    m_iv = iv->addTrace(QStringLiteral("IV"), QPen());
    m_ivHigh = iv->addTrace(QStringLiteral("V/I 200"), QPen());
    m_corrected = iv->addErrorBarTrace(QStringLiteral("Corrected IV"), QPen());
    m_corrected->setSymbol(new QwtSymbol(QwtSymbol::Ellipse, QBrush(Qt::red), QPen(Qt::red), QSize(4, 4)));
    m_derivative = iv->addTrace(QStringLiteral("dI/dV"), QPen(), QwtPlot::yRight);
    m_trend = iv->addTrace(QStringLiteral("Trend"), QPen());
    m_trend->setSymbol(new QwtSymbol(QwtSymbol::Rect, QBrush(Qt::darkBlue), QPen(Qt::darkBlue), QSize(6, 6)));
    showOnIvPlot(m_trend, false);
    iv->setTrackedCurve(m_corrected);
    setIvTitles();

    ThreeTracePlotter* high = m_plots[HighBandPlot];
    m_current200 = high->addTrace(QStringLiteral("Current200"), QPen());
    m_voltage200 = high->addTrace(QStringLiteral("Voltage200"), QPen(), QwtPlot::yRight);
    high->setTitles(QStringLiteral("200 V/I kHz"), kTimeTitle, kCurrentTitle, kVoltageTitle);

    ThreeTracePlotter* low = m_plots[LowBandPlot];
    m_current100 = low->addTrace(QStringLiteral("Current100"), QPen());
    m_voltage100 = low->addTrace(QStringLiteral("Voltage100"), QPen(), QwtPlot::yRight);
    low->setTitles(QStringLiteral("100 V/I kHz"), kTimeTitle, kCurrentTitle, kVoltageTitle);
    for (ThreeTracePlotter* waveforms : {high, low})
        waveforms->setAxisMaxMajor(QwtPlot::xBottom, kTimeTicks);

    setTracePens();
}

void SessionPlots::setIvTitles()
{
    m_plots[IvPlot]->setTitles(QStringLiteral("VI Curve"), kVoltageTitle, kCurrentTitle, kDerivativeTitle);
}

void SessionPlots::setTracePens()
{
    m_iv->setPen(tracePen(Qt::blue));
    m_ivHigh->setPen(tracePen(Qt::darkGreen, Qt::DashLine));
    m_corrected->setPen(tracePen(Qt::red));
    m_derivative->setPen(tracePen(Qt::magenta, Qt::DotLine));
    m_trend->setPen(tracePen(Qt::darkBlue));
    m_current200->setPen(tracePen(Qt::blue));
    m_voltage200->setPen(tracePen(Qt::darkRed));
    m_current100->setPen(tracePen(Qt::blue));
    m_voltage100->setPen(tracePen(Qt::darkRed));
}

void SessionPlots::showFrame(const FrameView& frame, int derivativeHalfWidth)
{
    if (frame.low)
        setCurve(m_iv, frame.low->VIx(), frame.low->VIy());
    else
        clearCurve(m_iv);
    if (frame.high)
        setCurve(m_ivHigh, frame.high->VIx(), frame.high->VIy());
    else
        clearCurve(m_ivHigh);
    if (frame.record) {
        const ScanRecord& record = *frame.record;
        const QVector<double> V = frame.recordFrame->recordV();
        const QVector<double> I = frame.recordFrame->recordI();
        // A record without deviations gets bars of zero length.
        const QVector<double> errors = record.stdI.size() >= I.size() ? record.stdI : QVector<double>(I.size(), 0.0);
        m_corrected->setSamples(V, I, errors);
        m_derivative->setSamples(derivativeOf(V, I, derivativeHalfWidth));
    } else {
        m_corrected->setSamples(QVector<double>(), QVector<double>(), QVector<double>());
        clearCurve(m_derivative);
    }
    showWaveforms(frame.high, m_current200, m_voltage200);
    showWaveforms(frame.low, m_current100, m_voltage100);
}

void SessionPlots::clear()
{
    for (ThreeTracePlotter* p : m_plots)
        p->clearTraces();
}

void SessionPlots::showOnIvPlot(QwtPlotCurve* curve, bool visible)
{
    // A curve of the other view leaves the legend as well; the library only
    // drops its entry when asked to update the legend for it.
    curve->setItemAttribute(QwtPlotItem::Legend, visible);
    m_plots[IvPlot]->updateLegend(curve);
    m_plots[IvPlot]->setTraceVisible(curve, visible);
}

void SessionPlots::setTrendView(bool on)
{
    m_trendView = on;
    for (QwtPlotCurve* c : {m_iv, m_ivHigh, static_cast<QwtPlotCurve*>(m_corrected)})
        showOnIvPlot(c, !on);
    showOnIvPlot(m_derivative, !on && m_toggles.derivative);
    showOnIvPlot(m_trend, on);
    ThreeTracePlotter* iv = m_plots[IvPlot];
    iv->enableAxis(QwtPlot::yRight, !on);
    iv->setAxisAutoScale(QwtPlot::xBottom);
    iv->setAxisAutoScale(QwtPlot::yLeft);
    if (on)
        setTrendTitles();
    else
        setIvTitles();
}

void SessionPlots::setTrend(const QVector<QPointF>& points, const QString& quantityLabel, bool overDelay)
{
    m_trend->setSamples(points);
    m_trendLabel = quantityLabel;
    m_trendOverDelay = overDelay;
    if (!m_trendView)
        return;
    m_plots[IvPlot]->setAxisAutoScale(QwtPlot::yLeft);
    setTrendTitles();
}

void SessionPlots::setTrendTitles()
{
    ThreeTracePlotter* iv = m_plots[IvPlot];
    iv->setTitle(QStringLiteral("Trend of %1").arg(m_trendLabel));
    iv->setAxisTitleText(QwtPlot::yLeft, m_trendLabel);
    iv->setAxisTitleText(QwtPlot::xBottom,
                         m_trendOverDelay ? QStringLiteral("Delay (\u00b5s)") : QStringLiteral("Position (mm)"));
}

void SessionPlots::applyViewToggles(const ViewToggles& toggles)
{
    m_toggles = toggles;
    m_plots[HighBandPlot]->setVisible(toggles.waveforms);
    m_plots[LowBandPlot]->setVisible(toggles.waveforms);
    if (!m_trendView)
        showOnIvPlot(m_derivative, toggles.derivative);
    m_corrected->setErrorBarsVisible(toggles.errorBars);
    m_corrected->setPointsVisible(toggles.dataPoints);
}

void SessionPlots::requestReplot()
{
    for (ThreeTracePlotter* p : m_plots)
        p->requestReplot();
}

void SessionPlots::replot()
{
    for (ThreeTracePlotter* p : m_plots)
        p->replot();
}

const QwtPlotCurve* SessionPlots::curve(const QString& name) const
{
    for (const QwtPlotCurve* c : {m_iv, m_ivHigh, static_cast<QwtPlotCurve*>(m_corrected), m_derivative, m_trend,
                                  m_current200, m_voltage200, m_current100, m_voltage100})
        if (c->title().text() == name)
            return c;
    return nullptr;
}
