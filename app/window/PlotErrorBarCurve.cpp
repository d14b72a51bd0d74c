#include "window/PlotErrorBarCurve.h"

#include <QPainter>

#include <qwt_scale_map.h>

#include <algorithm>
#include <cmath>

namespace {

// Half the width of a bar's cap, in pixels.
constexpr double kCapHalfWidth = 3.0;

} // namespace

PlotErrorBarCurve::PlotErrorBarCurve(const QString& title)
    : QwtPlotCurve(title)
{
}

void PlotErrorBarCurve::setSamples(const QVector<double>& x, const QVector<double>& y, const QVector<double>& errors)
{
    const int count = std::min({x.size(), y.size(), errors.size()});
    m_errors.resize(count);
    for (int i = 0; i < count; ++i)
        m_errors[i] = std::fabs(errors[i]);
    QwtPlotCurve::setSamples(x.mid(0, count), y.mid(0, count));
}

void PlotErrorBarCurve::setErrorBarsVisible(bool visible)
{
    if (visible == m_errorBarsVisible)
        return;
    m_errorBarsVisible = visible;
    itemChanged();
}

void PlotErrorBarCurve::setPointsVisible(bool visible)
{
    if (visible == m_pointsVisible)
        return;
    m_pointsVisible = visible;
    itemChanged();
}

double PlotErrorBarCurve::errorAt(int index) const
{
    // The base class's setSamples overloads are hidden, but a caller holding
    // a QwtPlotCurve pointer can still replace the points without errors.
    return index < m_errors.size() ? m_errors[index] : 0.0;
}

QRectF PlotErrorBarCurve::boundingRect() const
{
    double left = HUGE_VAL, right = -HUGE_VAL, bottom = HUGE_VAL, top = -HUGE_VAL;
    const size_t count = dataSize();
    for (size_t i = 0; i < count; ++i) {
        const QPointF point = sample(int(i));
        const double error = m_errorBarsVisible ? errorAt(int(i)) : 0.0;
        if (!std::isfinite(point.x()) || !std::isfinite(point.y()) || !std::isfinite(error))
            continue;
        left = std::min(left, point.x());
        right = std::max(right, point.x());
        bottom = std::min(bottom, point.y() - error);
        top = std::max(top, point.y() + error);
    }
    if (left > right)
        return QRectF(1.0, 1.0, -2.0, -2.0); // the library's mark for "no extent"
    return QRectF(left, bottom, right - left, top - bottom);
}

void PlotErrorBarCurve::drawSeries(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                                   const QRectF& canvasRect, int from, int to) const
{
    if (to < 0)
        to = int(dataSize()) - 1;
    if (m_errorBarsVisible)
        drawErrorBars(painter, xMap, yMap, std::max(from, 0), to);
    QwtPlotCurve::drawSeries(painter, xMap, yMap, canvasRect, from, to);
}

void PlotErrorBarCurve::drawSymbols(QPainter* painter, const QwtSymbol& symbol, const QwtScaleMap& xMap,
                                    const QwtScaleMap& yMap, const QRectF& canvasRect, int from, int to) const
{
    if (m_pointsVisible)
        QwtPlotCurve::drawSymbols(painter, symbol, xMap, yMap, canvasRect, from, to);
}

void PlotErrorBarCurve::drawErrorBars(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap, int from,
                                      int to) const
{
    painter->save();
    QPen barPen(pen().color(), 1.0);
    barPen.setCosmetic(true);
    painter->setPen(barPen);
    for (int i = from; i <= to; ++i) {
        const QPointF point = sample(i);
        const double error = errorAt(i);
        if (error == 0.0 || !std::isfinite(point.x()) || !std::isfinite(point.y()) || !std::isfinite(error))
            continue;
        const double x = xMap.transform(point.x());
        const double high = yMap.transform(point.y() + error);
        const double low = yMap.transform(point.y() - error);
        painter->drawLine(QLineF(x, low, x, high));
        painter->drawLine(QLineF(x - kCapHalfWidth, low, x + kCapHalfWidth, low));
        painter->drawLine(QLineF(x - kCapHalfWidth, high, x + kCapHalfWidth, high));
    }
    painter->restore();
}
