#include "window/GraphForm.h"
#include "window/PlotErrorBarCurve.h"
#include "window/ThreeTracePlotter.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <qwt_legend.h>
#include <qwt_legend_label.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_zoomer.h>
#include <qwt_scale_div.h>
#include <qwt_scale_widget.h>

#include <cmath>

namespace {

class CountingPlotter : public ThreeTracePlotter
{
public:
    int replots = 0;
    void replot() override
    {
        ++replots;
        ThreeTracePlotter::replot();
    }
};

void send(QWidget* target, QEvent::Type type, const QPoint& pos, Qt::MouseButton button, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, buttons, modifiers);
    QApplication::sendEvent(target, &event);
}

QPoint canvasPoint(const QwtPlot& plot, double x, double y)
{
    return QPoint(qRound(plot.transform(QwtPlot::xBottom, x)), qRound(plot.transform(QwtPlot::yLeft, y)));
}

QVector<double> sequence(int count, double step = 1.0)
{
    QVector<double> values(count);
    for (int i = 0; i < count; ++i)
        values[i] = i * step;
    return values;
}

} // namespace

class TestPlotWidgets : public QObject
{
    Q_OBJECT

    // A shown plot with fixed axes, so that pixels and plot values map predictably.
    void preparePlot(ThreeTracePlotter& plot, double xMin, double xMax, double yMin, double yMax)
    {
        plot.resize(500, 400);
        plot.setAxisScale(QwtPlot::xBottom, xMin, xMax);
        plot.setAxisScale(QwtPlot::yLeft, yMin, yMax);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        plot.replot();
    }

private slots:
    void onlyADoubleClickOnTheLeftAxisAsksForItsScale()
    {
        ThreeTracePlotter plot;
        preparePlot(plot, 0, 10, 0, 10);
        QSignalSpy spy(&plot, &ThreeTracePlotter::leftAxisDoubleClick);
        QWidget* leftAxis = plot.axisWidget(QwtPlot::yLeft);
        QTest::mouseDClick(leftAxis, Qt::LeftButton, Qt::NoModifier, leftAxis->rect().center());
        QCOMPARE(spy.count(), 1);
        QTest::mouseDClick(plot.canvas(), Qt::LeftButton, Qt::NoModifier, plot.canvas()->rect().center());
        QWidget* bottomAxis = plot.axisWidget(QwtPlot::xBottom);
        QTest::mouseDClick(bottomAxis, Qt::LeftButton, Qt::NoModifier, bottomAxis->rect().center());
        QCOMPARE(spy.count(), 1);
    }

    void pointReadingFollowsTheCurveAndStaysPutOutsideIt()
    {
        ThreeTracePlotter plot;
        QwtPlotCurve* curve = plot.addTrace("IV", QPen(Qt::red));
        QVector<double> x = sequence(11), y(11);
        for (int i = 0; i < 11; ++i)
            y[i] = x[i] * x[i];
        curve->setSamples(x, y);
        preparePlot(plot, -5, 15, -10, 110);
        QWidget* canvas = plot.canvas();

        send(canvas, QEvent::MouseButtonPress, canvasPoint(plot, 5, 30), Qt::RightButton, Qt::RightButton,
             Qt::ControlModifier);
        QVERIFY(plot.isTracking());
        const QwtPlotMarker* marker = plot.readingMarker();
        QVERIFY(!marker->isVisible());

        const QPoint inside = canvasPoint(plot, 7.5, 30);
        send(canvas, QEvent::MouseMove, inside, Qt::NoButton, Qt::RightButton, Qt::ControlModifier);
        QVERIFY(marker->isVisible());
        const double cursorX = plot.invTransform(QwtPlot::xBottom, inside.x());
        const double cursorY = plot.invTransform(QwtPlot::yLeft, inside.y());
        QCOMPARE(marker->value(), QPointF(cursorX, 49.0)); // y of the pair's first sample (7, 49)
        const QString label = QString("X:%1,Y:%2").arg(cursorX, 0, 'f', 1).arg(cursorY, 0, 'g', 2);
        QCOMPARE(label, QString("X:7.5,Y:30"));
        QCOMPARE(marker->label().text(), label);
        QCOMPARE(marker->label().color(), QColor(Qt::red));

        // Left of the first and right of the last sample: nothing moves.
        for (double outside : {-3.0, 12.0}) {
            send(canvas, QEvent::MouseMove, canvasPoint(plot, outside, 80), Qt::NoButton, Qt::RightButton,
                 Qt::ControlModifier);
            QCOMPARE(marker->value(), QPointF(cursorX, 49.0));
            QCOMPARE(marker->label().text(), label);
        }

        send(canvas, QEvent::MouseButtonRelease, canvasPoint(plot, 12, 80), Qt::RightButton, Qt::NoButton);
        QVERIFY(!plot.isTracking());
        send(canvas, QEvent::MouseMove, canvasPoint(plot, 2.5, 30), Qt::NoButton, Qt::NoButton);
        QCOMPARE(marker->value(), QPointF(cursorX, 49.0));
    }

    // The reading's digits: x with one decimal, y with two significant
    // digits. Each cursor lies where the half pixel of rounding cannot change
    // the text and one digit more or fewer would (printf: %.1f of 7.455 to
    // 7.545 is 7.5, %.2g of 0.01219 to 0.01249 is 0.012; %.1f of -0.449 to
    // -0.415 is -0.4, %.2g of 12195 to 12495 is 1.2e+04).
    void readingLabelDigits_data()
    {
        QTest::addColumn<QRectF>("axes"); // x range, y range
        QTest::addColumn<QPointF>("cursor");
        QTest::addColumn<QPointF>("margin"); // how far x and y may move without changing the text
        QTest::addColumn<QString>("label");
        QTest::newRow("small y") << QRectF(QPointF(0, 0), QPointF(10, 0.02)) << QPointF(7.48, 0.01234)
                                 << QPointF(0.025, 0.00015) << "X:7.5,Y:0.012";
        QTest::newRow("large y") << QRectF(QPointF(-1, 0), QPointF(1, 50000)) << QPointF(-0.4321, 12345.0)
                                 << QPointF(0.017, 150) << "X:-0.4,Y:1.2e+04";
    }

    void readingLabelDigits()
    {
        QFETCH(QRectF, axes);
        QFETCH(QPointF, cursor);
        QFETCH(QPointF, margin);
        QFETCH(QString, label);
        ThreeTracePlotter plot;
        QwtPlotCurve* curve = plot.addTrace("IV", QPen(Qt::red));
        curve->setSamples(QVector<double>{axes.left(), axes.right()}, QVector<double>{axes.top(), axes.bottom()});
        preparePlot(plot, axes.left(), axes.right(), axes.top(), axes.bottom());
        const QPoint at = canvasPoint(plot, cursor.x(), cursor.y());
        // The row's premise: the pixel is close enough to the cursor.
        QVERIFY(std::abs(plot.invTransform(QwtPlot::xBottom, at.x()) - cursor.x()) < margin.x());
        QVERIFY(std::abs(plot.invTransform(QwtPlot::yLeft, at.y()) - cursor.y()) < margin.y());
        send(plot.canvas(), QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton, Qt::ControlModifier);
        send(plot.canvas(), QEvent::MouseMove, at, Qt::NoButton, Qt::RightButton, Qt::ControlModifier);
        QCOMPARE(plot.readingMarker()->label().text(), label);
    }

    void pointReadingTakesTheFirstPairThatSpansTheCursor()
    {
        // A sweep down and up again: x = 5 lies in both halves, the first one counts.
        ThreeTracePlotter plot;
        QwtPlotCurve* curve = plot.addTrace("IV", QPen(Qt::blue));
        curve->setSamples(QVector<double>{10, 0, 10}, QVector<double>{1, 2, 3});
        preparePlot(plot, -1, 11, 0, 4);
        send(plot.canvas(), QEvent::MouseButtonPress, canvasPoint(plot, 5, 2), Qt::RightButton, Qt::RightButton,
             Qt::ControlModifier);
        send(plot.canvas(), QEvent::MouseMove, canvasPoint(plot, 5, 2), Qt::NoButton, Qt::RightButton,
             Qt::ControlModifier);
        QCOMPARE(plot.readingMarker()->yValue(), 1.0);
    }

    void pointReadingNeedsACurveWithData()
    {
        ThreeTracePlotter plot;
        plot.addTrace("empty", QPen(Qt::red));
        preparePlot(plot, 0, 1, 0, 1);
        send(plot.canvas(), QEvent::MouseButtonPress, plot.canvas()->rect().center(), Qt::RightButton,
             Qt::RightButton, Qt::ControlModifier);
        QVERIFY(!plot.isTracking());
    }

    void legendCheckBoxesShowAndHideCurves()
    {
        ThreeTracePlotter plot;
        QwtPlotCurve* iv = plot.addTrace("IV", QPen(Qt::red));
        plot.addTrace("Corrected IV", QPen(Qt::blue));
        QwtPlotCurve* unnamed = plot.addTrace(QString(), QPen(Qt::black));
        preparePlot(plot, 0, 1, 0, 1);
        auto* legend = qobject_cast<QwtLegend*>(plot.legend());
        QVERIFY(legend);
        QVERIFY(!legend->legendWidget(plot.itemToInfo(unnamed)));
        auto* label = qobject_cast<QwtLegendLabel*>(legend->legendWidget(plot.itemToInfo(iv)));
        QVERIFY(label);
        QVERIFY(label->isChecked());

        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(!iv->isVisible());
        QTest::mouseClick(label, Qt::LeftButton);
        QVERIFY(iv->isVisible());

        plot.setTraceVisible(iv, false);
        QVERIFY(!label->isChecked());
    }

    void zoomingOutFollowsTheDataAgain()
    {
        // Data far smaller than the zoomer's initial base must still be zoomable.
        ThreeTracePlotter plot;
        QwtPlotCurve* curve = plot.addTrace("IV", QPen(Qt::red));
        curve->setSamples(sequence(11, 1e-3), sequence(11, 1e-7));
        plot.resize(500, 400);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        plot.replot();
        QVERIFY(plot.axisAutoScale(QwtPlot::yLeft));

        QWidget* canvas = plot.canvas();
        const QPoint from = canvasPoint(plot, 2e-3, 8e-7), to = canvasPoint(plot, 6e-3, 2e-7);
        send(canvas, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        send(canvas, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
        send(canvas, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        send(canvas, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(int(plot.zoomer()->zoomRectIndex()), 1);
        QVERIFY(!plot.axisAutoScale(QwtPlot::yLeft));
        QVERIFY(plot.axisScaleDiv(QwtPlot::yLeft).upperBound() < 9e-7);

        plot.zoomer()->zoom(0);
        QVERIFY(plot.axisAutoScale(QwtPlot::xBottom));
        QVERIFY(plot.axisAutoScale(QwtPlot::yLeft));
        curve->setSamples(sequence(11, 1e-3), sequence(11, 1e-5));
        plot.replot();
        QVERIFY(plot.axisScaleDiv(QwtPlot::yLeft).upperBound() >= 1e-4);
    }

    void settingDataDoesNotRedrawAndRequestsAreFolded()
    {
        CountingPlotter plot;
        QwtPlotCurve* curve = plot.addTrace("IV", QPen(Qt::red));
        curve->setSamples(sequence(5), sequence(5));
        plot.setTraceVisible(curve, false);
        plot.clearTraces();
        QCOMPARE(plot.replots, 0);
        for (int i = 0; i < 10; ++i)
            plot.requestReplot();
        QCOMPARE(plot.replots, 0);
        QTRY_COMPARE(plot.replots, 1);
        QCoreApplication::processEvents();
        QCOMPARE(plot.replots, 1);
        QCOMPARE(int(curve->dataSize()), 0);
    }

    void errorBarsWidenTheAutoscaleRange()
    {
        PlotErrorBarCurve curve;
        const double nan = std::nan("");
        curve.setSamples({1, 2, 3, 4, 5}, {10, 20, 30, nan, 100}, {1, 5, -2, 1});
        QCOMPARE(int(curve.dataSize()), 4); // the point without an error is dropped
        QCOMPARE(curve.boundingRect(), QRectF(QPointF(1, 9), QPointF(3, 32)));
        curve.setErrorBarsVisible(false);
        QCOMPARE(curve.boundingRect(), QRectF(QPointF(1, 10), QPointF(3, 30)));
        curve.setSamples({}, {}, {});
        QVERIFY(!curve.boundingRect().isValid());

        ThreeTracePlotter plot;
        PlotErrorBarCurve* trend = plot.addErrorBarTrace("Trend", QPen(Qt::red));
        trend->setSamples({1, 2}, {10, 20}, {8, 1});
        plot.replot();
        const QwtScaleDiv& y = plot.axisScaleDiv(QwtPlot::yLeft);
        QVERIFY2(y.lowerBound() <= 2 && y.upperBound() >= 21,
                 qPrintable(QString("%1..%2").arg(y.lowerBound()).arg(y.upperBound())));
    }

    void errorBarsAreDrawnInTheCurveColour()
    {
        ThreeTracePlotter plot;
        PlotErrorBarCurve* curve = plot.addErrorBarTrace("Trend", QPen(Qt::red));
        curve->setStyle(QwtPlotCurve::NoCurve);
        curve->setSamples({5}, {5}, {3});
        preparePlot(plot, 0, 10, 0, 10);
        auto redPixelsInColumn = [&] {
            const QImage image = plot.canvas()->grab().toImage();
            const int column = qFloor(plot.transform(QwtPlot::xBottom, 5));
            int count = 0;
            for (int row = 0; row < image.height(); ++row) {
                bool red = false;
                for (int x = column - 1; x <= column + 1; ++x) { // the line may fall either side of the half pixel
                    const QColor pixel = image.pixelColor(x, row);
                    red = red || (pixel.red() > 200 && pixel.green() < 120 && pixel.blue() < 120);
                }
                count += red;
            }
            return count;
        };
        const int barLength = qRound(plot.transform(QwtPlot::yLeft, 2) - plot.transform(QwtPlot::yLeft, 8));
        QVERIFY2(redPixelsInColumn() >= barLength - 1, qPrintable(QString::number(redPixelsInColumn())));
        curve->setErrorBarsVisible(false);
        plot.replot();
        QCOMPARE(redPixelsInColumn(), 0);
    }

    void graphFormSetsTheLeftAxis()
    {
        ThreeTracePlotter plot;
        plot.addTrace("IV", QPen(Qt::red))->setSamples(sequence(11), sequence(11, 10));
        plot.replot();
        GraphForm form(&plot);
        QCOMPARE(form.windowTitle(), QString("Y-axis Scale"));
        auto edits = form.findChildren<QLineEdit*>();
        QCOMPARE(edits.size(), 2);
        QLineEdit* minimum = edits[0];
        QLineEdit* maximum = edits[1];
        auto* automatic = form.findChild<QCheckBox*>();

        form.showForPlot();
        QVERIFY(automatic->isChecked());
        const QwtScaleDiv autoScale = plot.axisScaleDiv(QwtPlot::yLeft);
        QCOMPARE(minimum->text(), QString("%1").arg(autoScale.lowerBound()));
        QCOMPARE(maximum->text(), QString("%1").arg(autoScale.upperBound()));

        minimum->setText("-5");
        maximum->setText("50");
        automatic->setChecked(false); // toggling applies the fields
        QVERIFY(!plot.axisAutoScale(QwtPlot::yLeft));
        QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).lowerBound(), -5.0);
        QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), 50.0);

        minimum->setText("low");
        form.setPlotScale();
        QCOMPARE(minimum->text(), QString("-5"));
        QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), 50.0);

        minimum->setText("60");
        form.setPlotScale();
        QCOMPARE(minimum->text(), QString("-5"));
        QCOMPARE(maximum->text(), QString("50"));
        QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).lowerBound(), -5.0);

        automatic->setChecked(true);
        QVERIFY(plot.axisAutoScale(QwtPlot::yLeft));
        QCOMPARE(plot.axisScaleDiv(QwtPlot::yLeft).upperBound(), autoScale.upperBound());

        form.findChild<QPushButton*>()->click();
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TestPlotWidgets)
#include "test_plot_widgets.moc"
