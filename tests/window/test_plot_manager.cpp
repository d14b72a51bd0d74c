// The session window: navigation, values, trends, the session file, the close
// prompt and the base level, with every dialog answered from a script.

#include "acquisition/TimeStepAnalysis.h"
#include "analysis/LangmuirSettingsWidget.h"
#include "config/ConfigParamPanel.h"
#include "window/DialogProvider.h"
#include "window/FrameView.h"
#include "window/PlotErrorBarCurve.h"
#include "window/PlotManager.h"
#include "window/SessionPlots.h"
#include "window/ThreeTracePlotter.h"
#include "window/ValuesPanel.h"

#include "SimulatedAcquisition.h"
#include "support/FileSizeLimit.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <qwt_legend.h>
#include <qwt_plot_curve.h>
#include <qwt_text.h>


#include <cmath>
#include <limits>

namespace {

struct Message
{
    QString kind;
    QString title;
    QString text;
};

// Answers every question from a script and keeps what was said.
class ScriptedDialogs : public DialogProvider
{
public:
    QList<Message> messages;
    QStringList saveNames;  // answers to the save dialog, in order; empty = cancel
    int saveDialogs = 0;
    QMessageBox::StandardButton closeAnswer = QMessageBox::Cancel;
    QStringList closePrompts;

    void critical(QWidget*, const QString& title, const QString& text) override
    {
        messages.append({QStringLiteral("critical"), title, text});
    }
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        messages.append({QStringLiteral("warning"), title, text});
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return QString(); }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&, const QString&) override
    {
        ++saveDialogs;
        return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
    }
    QMessageBox::StandardButton askToSaveChanges(QWidget*, const QString& text, const QString& informative) override
    {
        closePrompts.append(text + QLatin1Char('|') + informative);
        return closeAnswer;
    }
};

QVector<scanResult> acquisition(int position, int scans, int delays, unsigned seed = 1)
{
    AcquisitionPlan plan;
    plan.position = position;
    plan.scans = scans;
    plan.delays = delays;
    plan.seed = seed;
    return simulatedAcquisition(plan);
}

void feed(PlotManager& session, const QVector<scanResult>& frames)
{
    for (const scanResult& f : frames)
        session.dataUpdate(f);
}

template <typename T>
T* child(const PlotManager& session, const char* name)
{
    T* found = session.findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

QString text(const PlotManager& session, const char* labelName)
{
    return child<QLabel>(session, labelName)->text();
}

bool shown(const PlotManager& session, const char* name)
{
    return !child<QWidget>(session, name)->isHidden();
}

QByteArray contents(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const double notANumber = std::numeric_limits<double>::quiet_NaN();

} // namespace

class TestPlotManager : public QObject
{
    Q_OBJECT

    ScriptedDialogs dialogs;
    QTemporaryDir folder;

    std::unique_ptr<PlotManager> makeSession(const QString& title = QStringLiteral("Session 1"))
    {
        auto session = std::make_unique<PlotManager>(ConfigParam(), false);
        session->setDialogProvider(&dialogs);
        session->setWindowTitle(title);
        return session;
    }

    QString path(const QString& name) const { return folder.filePath(name); }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Brisvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Orvel"));
        QVERIFY(folder.isValid());
    }

    void init()
    {
        dialogs = ScriptedDialogs();
    }

    void emptySessionShowsNoNavigation()
    {
        auto session = makeSession();
        QCOMPARE(text(*session, "scanLabel"), QStringLiteral("0/0"));
        QCOMPARE(text(*session, "timeStepLabel"), QStringLiteral("0/0"));
        QCOMPARE(text(*session, "positionLabel"), QStringLiteral("--- [mm]"));
        for (const char* slider : {"positionSlider", "scanSlider", "delaySlider"})
            QVERIFY2(!shown(*session, slider), slider);
        QVERIFY(!session->hasUnsavedChanges());
        QVERIFY(!child<QPushButton>(*session, "reanalyseButton")->isEnabled());

        // A frame without a fundamental frequency carries no period: ignored.
        scanResult silent = acquisition(0, 1, 1).first();
        silent.freq = 0.0;
        session->dataUpdate(silent);
        session->refreshValues();
        QVERIFY(!session->holdsScan());
        QVERIFY(!session->hasUnsavedChanges());
    }

    void framesAreFiledAtOnceAndShownOnceTheLatestIsIn()
    {
        auto session = makeSession();
        const QVector<scanResult> frames = acquisition(0, 1, 40);
        feed(*session, frames);
        // Filed and counted at once...
        QCOMPARE(session->data().positions.size(), 1);
        QCOMPARE(session->data().positions[0].scans[0].Delays200.size(), 40);
        QVERIFY(session->hasUnsavedChanges());
        // ...shown by a refresh that follows, with every frame in.
        QTRY_COMPARE(child<QSlider>(*session, "delaySlider")->maximum(), 39);
        QCOMPARE(text(*session, "timeStepLabel"), QStringLiteral(" 0  | 1/40"));
        QCOMPARE(text(*session, "positionLabel"), QStringLiteral("0 [mm] - 1/1"));
        QCOMPARE(text(*session, "timeLabel"), QStringLiteral(" 0 [us] - 1/40"));
        QVERIFY(shown(*session, "positionSlider"));
        QVERIFY(shown(*session, "delaySlider"));
        QVERIFY(!shown(*session, "scanSlider")); // single scans are chosen in master mode only
    }

    void movingASliderResetsTheOnesBelowIt()
    {
        auto session = makeSession();
        session->setMasterMode(true);
        feed(*session, acquisition(0, 2, 3) + acquisition(10, 2, 5, 2));
        session->refreshValues();
        auto* position = child<QSlider>(*session, "positionSlider");
        auto* scan = child<QSlider>(*session, "scanSlider");
        auto* delay = child<QSlider>(*session, "delaySlider");
        QCOMPARE(position->maximum(), 1);
        QVERIFY(shown(*session, "scanSlider"));
        QCOMPARE(scan->maximum(), 1);

        delay->setValue(2);
        QCOMPARE(text(*session, "timeStepLabel"), QStringLiteral(" 20  | 3/3"));
        scan->setValue(1);
        QCOMPARE(delay->value(), 0);
        QCOMPARE(text(*session, "scanLabel"), QStringLiteral("2 - 2/2"));

        delay->setValue(2);
        position->setValue(1);
        QCOMPARE(scan->value(), 0);
        QCOMPARE(delay->value(), 0);
        QCOMPARE(delay->maximum(), 4);
        QCOMPARE(text(*session, "positionLabel"), QStringLiteral("10 [mm] - 2/2"));
        QCOMPARE(text(*session, "scanLabel"), QStringLiteral("1 - 1/2"));
        QCOMPARE(text(*session, "timeStepLabel"), QStringLiteral(" 0  | 1/5"));
        QCOMPARE(text(*session, "timeLabel"), QStringLiteral(" 0 [us] - 1/5"));
    }

    void valuesFollowTheDisplayedFrame()
    {
        auto session = makeSession();
        feed(*session, acquisition(0, 1, 3));
        session->refreshValues();
        const ValuesPanel* values = session->findChild<ValuesPanel*>();
        const QString kTe = values->valueText(ValuesPanel::kTeRow);
        QVERIFY2(kTe.contains(QRegularExpression("<font color=red>[0-9.]+</font>")), qPrintable(kTe));
        // One sweep: no error estimate.
        QCOMPARE(values->errorText(ValuesPanel::kTeRow), QStringLiteral("<font color=green></font>"));

        // The analysis runs on every display with the settings of the moment.
        const QString ni = values->valueText(ValuesPanel::NiRow);
        session->analysisSettings()->ionmass = 4;
        session->refreshValues();
        QVERIFY(values->valueText(ValuesPanel::NiRow) != ni);

        // A frame without a scan record clears the panel.
        session->data().positions[0].scans[0].Delays200[1].scanRecord.reset();
        child<QSlider>(*session, "delaySlider")->setValue(1);
        for (int row = 0; row < ValuesPanel::RowCount; ++row) {
            QCOMPARE(values->valueText(ValuesPanel::Row(row)), QString());
            QCOMPARE(values->errorText(ValuesPanel::Row(row)), QString());
        }
        QCOMPARE(session->plots().curve(QStringLiteral("Corrected IV"))->dataSize(), size_t(0));
        // Its waveforms are still drawn, over one period in microseconds (at
        // 100 kHz, 10 us), so that short time axes read in whole numbers.
        const QwtPlotCurve* current = session->plots().curve(QStringLiteral("Current100"));
        QCOMPARE(current->dataSize(), size_t(1000));
        QVERIFY(qAbs(current->sample(999).x() - 10.0) < 1e-3);
        QCOMPARE(session->plots().plot(SessionPlots::LowBandPlot)->axisTitle(QwtPlot::xBottom).text(),
                 QStringLiteral("Time [\u00b5s]"));
    }

    void valueAndErrorTexts()
    {
        QCOMPARE(ValuesPanel::formatRelativeError(2.5, 0.05), QStringLiteral("<font color=green>2.0 %</font>"));
        QCOMPARE(ValuesPanel::formatRelativeError(-4.0, 1.0), QStringLiteral("<font color=green>25.0 %</font>"));
        for (const auto& pair : {std::make_pair(0.0, 0.05), std::make_pair(notANumber, 0.05), std::make_pair(2.5, notANumber)})
            QCOMPARE(ValuesPanel::formatRelativeError(pair.first, pair.second),
                     QStringLiteral("<font color=green></font>"));
        QCOMPARE(ValuesPanel::formatValue(12345.0), QStringLiteral("<font color=red>1.23e+04</font>"));
        QCOMPARE(ValuesPanel::formatValue(2.5), QStringLiteral("<font color=red>2.5</font>"));
        QCOMPARE(ValuesPanel::formatValue(notANumber), QStringLiteral("<font color=red></font>"));

        ValuesPanel panel;
        results r;
        r.kTe = 2.5;
        r.kTe_error = 0.05;
        r.Ldebye = 2.5e-5; // metres: shown as micrometres
        r.Ldebye_error = 5e-7;
        HarmonicResults harmonic;
        harmonic.kTe = 3.02;
        harmonic.kTeError = 0.0151;
        harmonic.ionCurrent = 1.25e-3;
        harmonic.residual = 0.00123;
        harmonic.harmonicsFitted = 7;
        panel.showResults(r, harmonic);
        QCOMPARE(panel.valueText(ValuesPanel::kTeRow), QStringLiteral("<font color=red>2.5</font>"));
        QCOMPARE(panel.errorText(ValuesPanel::kTeRow), QStringLiteral("<font color=green>2.0 %</font>"));
        QCOMPARE(panel.valueText(ValuesPanel::LdRow), QStringLiteral("<font color=red>25</font>"));
        QCOMPARE(panel.errorText(ValuesPanel::LdRow), QStringLiteral("<font color=green>2.0 %</font>"));
        QCOMPARE(panel.valueText(ValuesPanel::JpRow), QStringLiteral("<font color=red></font>"));
        // The harmonic analysis' rows, apart from the IV fit's.
        QCOMPARE(panel.valueText(ValuesPanel::kTeHarmonicRow), QStringLiteral("<font color=red>3.02</font>"));
        QCOMPARE(panel.errorText(ValuesPanel::kTeHarmonicRow), QStringLiteral("<font color=green>0.5 %</font>"));
        QCOMPARE(panel.valueText(ValuesPanel::IisHarmonicRow), QStringLiteral("<font color=red>0.00125</font>"));
        QCOMPARE(panel.errorText(ValuesPanel::IisHarmonicRow), QStringLiteral("<font color=green></font>"));
        QCOMPARE(panel.valueText(ValuesPanel::NiHarmonicRow), QStringLiteral("<font color=red></font>"));
        QCOMPARE(panel.harmonicNote(), QStringLiteral("Harmonics 2 to 8 fitted, residual 0.12 %"));

        HarmonicResults failed;
        failed.errorText = QStringLiteral("fewer than three usable harmonics");
        panel.showResults(r, failed);
        QCOMPARE(panel.valueText(ValuesPanel::kTeHarmonicRow), QStringLiteral("<font color=red></font>"));
        QCOMPARE(panel.harmonicNote(), QStringLiteral("Harmonic analysis: fewer than three usable harmonics"));
    }

    // The plots' own titles and the axes every plot labels alike; every axis
    // title is set in "Helvetica [Cronyx]" at 10 points. The waveforms' time
    // axis title is the program's own choice and is not pinned here.
    void plotTitlesAndAxes_data()
    {
        QTest::addColumn<int>("plot");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("bottom"); // empty: not fixed
        QTest::addColumn<QString>("left");
        QTest::newRow("IV") << int(SessionPlots::IvPlot) << "VI Curve" << "Voltage [V]" << "I [A]";
        QTest::newRow("200 kHz band") << int(SessionPlots::HighBandPlot) << "200 V/I kHz" << QString() << "I [A]";
        QTest::newRow("100 kHz band") << int(SessionPlots::LowBandPlot) << "100 V/I kHz" << QString() << "I [A]";
    }

    void plotTitlesAndAxes()
    {
        QFETCH(int, plot);
        QFETCH(QString, title);
        QFETCH(QString, bottom);
        QFETCH(QString, left);
        auto session = makeSession();
        feed(*session, acquisition(0, 1, 1));
        session->refreshValues();
        const ThreeTracePlotter* shown = session->plots().plot(SessionPlots::Plot(plot));
        QCOMPARE(shown->title().text(), title);
        if (!bottom.isEmpty())
            QCOMPARE(shown->axisTitle(QwtPlot::xBottom).text(), bottom);
        QCOMPARE(shown->axisTitle(QwtPlot::yLeft).text(), left);
        for (int axis : {QwtPlot::xBottom, QwtPlot::yLeft, QwtPlot::yRight}) {
            const QFont font = shown->axisTitle(axis).font();
            QCOMPARE(font.family(), QStringLiteral("Helvetica [Cronyx]"));
            QCOMPARE(font.pointSize(), 10);
        }
    }

    void trendsAnalyseEveryTimeStepTheyShow()
    {
        // Positions of three scans show their averaged entry, the one of two
        // scans its first frame; only analysed records give points.
        measuredData data;
        for (const scanResult& f : acquisition(30, 3, 1) + acquisition(10, 3, 1, 2) + acquisition(20, 2, 1, 3))
            QVERIFY(data.add(f));
        QVERIFY(data.positions[2].averages.isEmpty());
        QVERIFY(trend::points(data, trend::kTe).isEmpty());
        const LangmuirSettings settings;
        QVERIFY(!analysePendingTimeSteps(data, settings, QDeadlineTimer(0))); // no time: nothing analysed
        QVERIFY(trend::points(data, trend::kTe).isEmpty());
        QVERIFY(analysePendingTimeSteps(data, settings, QDeadlineTimer(QDeadlineTimer::Forever)));
        ScanRecord* records[] = {data.positions[0].averages[0].scanRecord(),
                                 data.positions[1].averages[0].scanRecord(),
                                 &*data.positions[2].scans[0].Delays200[0].scanRecord};
        QVector<QPointF> kTe, Ld;
        for (int p = 0; p < 3; ++p) {
            const double x = data.positions[p].position;
            kTe << QPointF(x, records[p]->parameters.kTe);
            Ld << QPointF(x, records[p]->parameters.Ldebye * 1e6); // micrometres
        }
        QVERIFY(records[0]->sweepCount == 2 && std::isfinite(records[0]->parameters.kTe_error));
        QVERIFY(!trend::overDelay(data));
        QCOMPARE(trend::points(data, trend::kTe), kTe);
        QCOMPARE(trend::points(data, 99), kTe); // any other index: kTe
        QCOMPARE(trend::points(data, trend::Ld), Ld);
        // This probe is driven deep into electron saturation, which the
        // harmonic analysis refuses: no point where it gave no value.
        QCOMPARE(records[1]->harmonic.errorText, QStringLiteral("non-positive harmonic ratios"));
        QVERIFY(trend::points(data, trend::kTeHarmonic).isEmpty());
        records[1]->harmonic.ionCurrent = 2e-3;
        QCOMPARE(trend::points(data, trend::IisHarmonic), QVector<QPointF>{QPointF(10, 2e-3)});

        // A spatial scan of five positions in the window: every position,
        // without any frame visited but the first.
        auto session = makeSession();
        for (int p = 0; p < 5; ++p)
            feed(*session, acquisition(10 * p, 3, 1, p + 1));
        session->refreshValues();
        session->showTrends();
        const QwtPlotCurve* trendCurve = session->plots().curve(QStringLiteral("Trend"));
        QTRY_VERIFY(session->trendComplete());
        QVERIFY(trendCurve->isVisible());
        QVERIFY(!session->plots().curve(QStringLiteral("IV"))->isVisible());
        QCOMPARE(trendCurve->dataSize(), size_t(5));
        for (int p = 0; p < 5; ++p) {
            const ScanRecord* record = session->data().positions[p].averages[0].scanRecord();
            QCOMPARE(trendCurve->sample(p), QPointF(10 * p, record->parameters.Jp)); // Jp at first
        }
        const ThreeTracePlotter* iv = session->plots().plot(SessionPlots::IvPlot);
        QCOMPARE(iv->title().text(), QStringLiteral("Trend of Jp (A/m^2)"));
        QCOMPARE(iv->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("Position (mm)"));
        session->trend_Ld();
        QCOMPARE(iv->axisTitle(QwtPlot::yLeft).text(), results::parameterLabel(trend::Ld));
        QCOMPARE(iv->title().text(), QStringLiteral("Trend of %1").arg(results::parameterLabel(trend::Ld)));
        session->trend_NiHarmonic();
        QCOMPARE(iv->title().text(), QStringLiteral("Trend of Harmonic Ni (m^-3)"));

        // Other analysis settings analyse every time step again.
        session->trend_Jp();
        const double jp = trendCurve->sample(4).y();
        session->analysisSettings()->probe_radius *= 2; // a quarter of the current density
        session->displayTrend();
        QTRY_VERIFY(session->trendComplete());
        QCOMPARE(trendCurve->dataSize(), size_t(5));
        QVERIFY(std::abs(trendCurve->sample(4).y() / jp - 0.25) < 1e-12);

        // Each view's legend names its own curves only.
        auto legendEntries = [iv](const QwtPlotCurve* c) {
            return qobject_cast<const QwtLegend*>(iv->legend())->legendWidgets(iv->itemToInfo(const_cast<QwtPlotCurve*>(c)));
        };
        QCOMPARE(legendEntries(trendCurve).size(), 1);
        QCOMPARE(legendEntries(session->plots().curve(QStringLiteral("IV"))).size(), 0);

        session->showIV();
        QCOMPARE(legendEntries(trendCurve).size(), 0);
        QCOMPARE(legendEntries(session->plots().curve(QStringLiteral("IV"))).size(), 1);
        QVERIFY(!trendCurve->isVisible());
        QVERIFY(session->plots().curve(QStringLiteral("IV"))->isVisible());
        QCOMPARE(iv->title().text(), QStringLiteral("VI Curve"));
        QCOMPARE(iv->axisTitle(QwtPlot::xBottom).text(), QStringLiteral("Voltage [V]"));
        QCOMPARE(iv->axisTitle(QwtPlot::yLeft).text(), QStringLiteral("I [A]"));
    }

    void aTimeResolvedTrendRunsOverTheDelay()
    {
        auto session = makeSession();
        feed(*session, acquisition(0, 3, 10));
        session->refreshValues();
        session->showTrends();
        QTRY_VERIFY(session->trendComplete());
        const QwtPlotCurve* trendCurve = session->plots().curve(QStringLiteral("Trend"));
        QCOMPARE(trendCurve->dataSize(), size_t(10));
        for (int d = 0; d < 10; ++d)
            QCOMPARE(trendCurve->sample(d).x(), 10.0 * d); // the plan's 10 us steps
        QCOMPARE(session->plots().plot(SessionPlots::IvPlot)->axisTitle(QwtPlot::xBottom).text(),
                 QStringLiteral("Delay (\u00b5s)"));
    }

    void averagingDecidesBetweenAveragedAndSingleScans()
    {
        auto session = makeSession();
        feed(*session, acquisition(0, 3, 2));
        session->refreshValues();
        const PositionWrapper& position = session->data().positions[0];
        const QwtPlotCurve* iv = session->plots().curve(QStringLiteral("IV"));
        QCOMPARE(iv->sample(0).x(), position.averages[0].low.VIx()[0]);

        session->setMasterMode(true);
        auto* averaging = child<QCheckBox>(*session, "useAveragingBox");
        auto* scan = child<QSlider>(*session, "scanSlider");
        QVERIFY(shown(*session, "useAveragingBox"));
        QVERIFY(!scan->isEnabled());
        averaging->setChecked(false);
        QVERIFY(scan->isEnabled());
        scan->setValue(2);
        QCOMPARE(iv->sample(0).x(), position.scans[2].Delays200[0].VIx()[0]);
        // The values stay the averaged record's: it exists, whatever scan is
        // shown.
        const ValuesPanel* values = session->findChild<ValuesPanel*>();
        const ScanRecord* averaged = position.averages[0].scanRecord();
        QVERIFY(averaged);
        for (const int s : {0, 1, 2}) {
            scan->setValue(s);
            QCOMPARE(values->valueText(ValuesPanel::kTeRow),
                     QStringLiteral("<font color=red>%1</font>").arg(averaged->parameters.kTe, 0, 'g', 3));
        }

        // Leaving master mode returns to the averages of scan 1.
        session->setMasterMode(false);
        QVERIFY(averaging->isChecked());
        QCOMPARE(scan->value(), 0);
        QVERIFY(!shown(*session, "scanSlider"));
        QCOMPARE(iv->sample(0).x(), position.averages[0].low.VIx()[0]);
    }

    void aNewScanEmptiesTheSession()
    {
        auto session = makeSession();
        feed(*session, acquisition(0, 1, 3) + acquisition(5, 1, 3));
        dialogs.saveNames = QStringList{path("before-new-scan.ldf")};
        QVERIFY(session->save());
        QVERIFY(child<QPushButton>(*session, "reanalyseButton")->isEnabled());

        session->prepareForNewScan();
        QVERIFY(!session->holdsScan());
        QCOMPARE(text(*session, "scanLabel"), QStringLiteral("0/0"));
        QCOMPARE(text(*session, "timeStepLabel"), QStringLiteral("0/0"));
        for (const char* slider : {"positionSlider", "scanSlider", "delaySlider"})
            QVERIFY2(!shown(*session, slider), slider);
        QVERIFY(!child<QPushButton>(*session, "reanalyseButton")->isEnabled());
        QCOMPARE(session->findChild<ValuesPanel*>()->valueText(ValuesPanel::kTeRow), QString());
        QCOMPARE(session->plots().curve(QStringLiteral("IV"))->dataSize(), size_t(0));
        QVERIFY(session->ownFileName().isEmpty());

        session->dataUpdate(acquisition(7, 1, 1).first());
        session->refreshValues();
        QCOMPARE(child<QSlider>(*session, "positionSlider")->maximum(), 0);
        QCOMPARE(text(*session, "positionLabel"), QStringLiteral("7 [mm] - 1/1"));

        // The next plain save asks for a name again.
        dialogs.saveNames = QStringList{path("after-new-scan.ldf")};
        QVERIFY(session->save());
        QCOMPARE(dialogs.saveDialogs, 2);
    }

    void saveAndLoadRoundTrip()
    {
        auto session = makeSession();
        session->analysisSettings()->ionmass = 20;
        feed(*session, acquisition(0, 3, 4) + acquisition(15, 1, 2, 2));
        const QString file = path("round-trip.ldf");

        dialogs.saveNames = QStringList{file};
        QVERIFY(session->save());
        QCOMPARE(dialogs.saveDialogs, 1);
        QCOMPARE(session->windowTitle(), QStringLiteral("round-trip.ldf"));
        QVERIFY(!session->hasUnsavedChanges());
        QCOMPARE(session->ownFileName(), file);
        QCOMPARE(QSettings().value(QStringLiteral("PlotSettings/SaveFileFolder")).toString(), file);
        QVERIFY(dialogs.messages.isEmpty());

        // A plain save goes back to the same file without asking.
        scanResult secondScan = acquisition(15, 1, 1, 3).first();
        secondScan.scan = 2;
        session->dataUpdate(secondScan);
        QVERIFY(session->hasUnsavedChanges());
        QVERIFY(session->save());
        QCOMPARE(dialogs.saveDialogs, 1);

        // The averaged time step shows errors and draws error bars...
        session->refreshValues();
        const ValuesPanel* values = session->findChild<ValuesPanel*>();
        QStringList errors;
        for (ValuesPanel::Row row : {ValuesPanel::kTeRow, ValuesPanel::JpRow, ValuesPanel::NiRow, ValuesPanel::LdRow}) {
            errors << values->errorText(row);
            QVERIFY2(errors.last().contains(QRegularExpression("<font color=green>[0-9]+\\.[0-9] %</font>")),
                     qPrintable(errors.last()));
        }
        const auto* corrected = static_cast<const PlotErrorBarCurve*>(session->plots().curve(QStringLiteral("Corrected IV")));
        QVERIFY(*std::max_element(corrected->errors().begin(), corrected->errors().end()) > 0);

        auto loaded = makeSession(QStringLiteral("Session 2"));
        QCOMPARE(loaded->load(file), 1);
        // ...and the same once the file is read back.
        const ValuesPanel* loadedValues = loaded->findChild<ValuesPanel*>();
        QCOMPARE(QStringList({loadedValues->errorText(ValuesPanel::kTeRow), loadedValues->errorText(ValuesPanel::JpRow),
                              loadedValues->errorText(ValuesPanel::NiRow), loadedValues->errorText(ValuesPanel::LdRow)}),
                 errors);
        QCOMPARE(loaded->data().positions.size(), 2);
        QCOMPARE(loaded->data().positions[1].scans.size(), 2);
        QCOMPARE(loaded->data().positions[0].averages.size(), 4);
        QCOMPARE(loaded->analysisSettings()->ionmass, 20.0);
        QCOMPARE(loaded->analysisSettings()->findChild<QLineEdit*>(QStringLiteral("ionMassEdit"))->text(),
                 QStringLiteral("20"));
        QCOMPARE(child<QSlider>(*loaded, "positionSlider")->maximum(), 1);
        QCOMPARE(text(*loaded, "positionLabel"), QStringLiteral("0 [mm] - 1/2"));
        // What was read is in the file: no change, and named after it.
        QVERIFY(!loaded->hasUnsavedChanges());
        QCOMPARE(loaded->windowTitle(), QStringLiteral("round-trip.ldf"));
        QVERIFY(loaded->ownFileName().isEmpty());

        // A plain save of a loaded session asks where to write.
        dialogs.saveNames = QStringList{path("copy.ldf")};
        QVERIFY(loaded->save());
        QCOMPARE(dialogs.saveDialogs, 2);
        QVERIFY(!loaded->hasUnsavedChanges());
    }

    void loadFailuresAreReported()
    {
        auto session = makeSession();
        const QString missing = path("missing.ldf");
        QCOMPARE(session->load(missing), 0);
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, QStringLiteral("critical"));
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("Orvel"));
        QVERIFY(dialogs.messages[0].text.startsWith(QStringLiteral("Cannot open file [%1]\nError code: ").arg(missing)));
        QVERIFY(dialogs.messages[0].text.endsWith(QLatin1Char('\n')));

        const QString invalid = path("invalid.ldf");
        QFile file(invalid);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<measuredData sensor=\"langmuir probe\"/>");
        file.close();
        QCOMPARE(session->load(invalid), 0);
        QCOMPARE(dialogs.messages.size(), 2);
        QCOMPARE(dialogs.messages[1].kind, QStringLiteral("warning"));
        QCOMPARE(dialogs.messages[1].title, QStringLiteral("Invalid save file"));
        QCOMPARE(dialogs.messages[1].text, QStringLiteral("Save file invalid"));
        QVERIFY(!session->holdsScan());
        QVERIFY(!session->hasUnsavedChanges());

        // A FIFO is refused at once instead of freezing the window.
        const QString pipe = path("pipe.ldf");
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QCOMPARE(session->load(pipe), 0);
        QCOMPARE(dialogs.messages.size(), 3);
        QCOMPARE(dialogs.messages[2].text,
                 QStringLiteral("Cannot open file [%1]\nError code: it is a FIFO (named pipe), not a regular file\n")
                     .arg(pipe));
    }

    // Settings a file holds outside their ranges are replaced by their
    // defaults, and the window says which.
    void replacedSettingsOfALoadedFileAreNamed()
    {
        auto session = makeSession();
        feed(*session, acquisition(0, 1, 2));
        const QString file = path("hostile.ldf");
        dialogs.saveNames = QStringList{file};
        QVERIFY(session->save());
        QByteArray document = contents(file);
        document.replace("<nDerivativePoints>3</nDerivativePoints>", "<nDerivativePoints>2147483647</nDerivativePoints>");
        QFile rewritten(file);
        QVERIFY(rewritten.open(QIODevice::WriteOnly) && rewritten.write(document) == document.size());
        rewritten.close();

        auto loaded = makeSession(QStringLiteral("Session 2"));
        QCOMPARE(loaded->load(file), 1);
        QCOMPARE(loaded->analysisSettings()->nDerivativePoints, 3);
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, QStringLiteral("warning"));
        QCOMPARE(dialogs.messages[0].text,
                 QStringLiteral("%1 was read with these changes:\nanalysis setting \"nDerivativePoints\" (Derivative "
                                "Calculation Points) = \"2147483647\" is outside 1 to 10; the default 3 is used "
                                "instead")
                     .arg(file));
    }

    void aFailedSaveLeavesThePreviousFileIntact()
    {
        auto session = makeSession();
        feed(*session, acquisition(0, 1, 2));
        const QString file = path("kept.ldf");
        dialogs.saveNames = QStringList{file};
        QVERIFY(session->save());
        const QByteArray before = contents(file);
        QVERIFY(before.size() > 20000);

        feed(*session, acquisition(0, 2, 6));
        {
            // The disk fills up half-way through the new file.
            const FileSizeLimit limit(rlim_t(before.size() / 2));
            QVERIFY(!session->save());
        }
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].kind, QStringLiteral("critical"));
        QCOMPARE(dialogs.messages[0].text,
                 QStringLiteral("Cannot close file [%1]\nError code: File too large\n").arg(file));
        QCOMPARE(contents(file), before);
        QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("kept.ldf*")}, QDir::Files),
                 QStringList{QStringLiteral("kept.ldf")});
        QVERIFY(session->hasUnsavedChanges());

        // A folder that does not exist cannot take the file at all.
        const QString nowhere = path("no-such-folder/new.ldf");
        dialogs.saveNames = QStringList{nowhere};
        QVERIFY(!session->saveAs());
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY(dialogs.messages[1].text.startsWith(QStringLiteral("Cannot write file [%1]").arg(nowhere)));
        QCOMPARE(session->ownFileName(), file);
        QVERIFY(session->hasUnsavedChanges());

        // Nothing but a regular file is replaced: a device node stays.
        dialogs.saveNames = QStringList{QStringLiteral("/dev/null")};
        QVERIFY(!session->saveAs());
        QCOMPARE(dialogs.messages.size(), 3);
        QCOMPARE(dialogs.messages[2].text, QStringLiteral("Cannot write file [/dev/null]\nError code: it is a character "
                                                          "device, not a regular file\n"));
        QVERIFY(!QFileInfo(QStringLiteral("/dev/null")).isFile());

        // With room again the save goes through.
        QVERIFY(session->save());
        QVERIFY(contents(file) != before);
        QVERIFY(!session->hasUnsavedChanges());
    }

    void closePromptAnswers()
    {
        QSignalSpy* spy = nullptr;
        auto closeWith = [&](PlotManager& session, QMessageBox::StandardButton answer) {
            dialogs.closeAnswer = answer;
            delete spy;
            spy = new QSignalSpy(&session, QOverload<PlotManager*>::of(&PlotManager::close));
            return session.close();
        };

        auto unchanged = makeSession();
        QVERIFY(closeWith(*unchanged, QMessageBox::Cancel));
        QVERIFY(dialogs.closePrompts.isEmpty());
        QCOMPARE(spy->count(), 1);

        auto session = makeSession(QStringLiteral("Session 4"));
        session->dataUpdate(acquisition(0, 1, 1).first());
        QVERIFY(!closeWith(*session, QMessageBox::Cancel));
        QCOMPARE(dialogs.closePrompts,
                 QStringList{QStringLiteral("Session : 'Session 4' has been modified.|Do you want to save changes?")});
        QCOMPARE(spy->count(), 0);

        // Save, but the operator cancels the file dialog: the data stay.
        QVERIFY(!closeWith(*session, QMessageBox::Save));
        QCOMPARE(spy->count(), 0);

        dialogs.saveNames = QStringList{path("closing.ldf")};
        QVERIFY(closeWith(*session, QMessageBox::Save));
        QCOMPARE(spy->count(), 1);
        QCOMPARE(spy->first().first().value<PlotManager*>(), session.get());
        QVERIFY(QFile::exists(path("closing.ldf")));

        auto discarded = makeSession();
        discarded->analysisSettings()->probe_radius = 0.001; // changed analysis settings count
        QVERIFY(closeWith(*discarded, QMessageBox::Discard));
        QCOMPARE(spy->count(), 1);
        QCOMPARE(dialogs.closePrompts.size(), 4);
        delete spy;
    }

    void baseLevelAppliesToLaterScansOnly()
    {
        auto session = makeSession();
        // A reference of one scan: its own first frame is the base level.
        feed(*session, acquisition(0, 1, 2));
        const DelayWrapper storedBefore = session->data().positions[0].scans[0].Delays200[0];
        QVERIFY(session->setBaseLevelFromSession());
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].title, QStringLiteral("Base level set"));
        QCOMPARE(dialogs.messages[0].text,
                 QStringLiteral("Base level has been set and will be applied on following scans."));
        QVERIFY(session->data().baseLevelSet);
        QCOMPARE(session->data().positions[0].scans[0].Delays200[0].Ir, storedBefore.Ir);

        const BaseLevel& base = session->data().baseLevel;
        QCOMPARE(base[BaseLowIr][0], storedBefore.Ir[0]);
        scanResult later = acquisition(0, 1, 1, 9).first();
        later.scan = 2;
        session->dataUpdate(later);
        const DelayWrapper& filed = session->data().positions[0].scans[1].Delays200[0];
        for (int k = 0; k < later.harmonics; ++k) {
            QCOMPARE(filed.Ir[k], later.Ir[k] - base[BaseLowIr][k]);
            QCOMPARE(filed.Ii[k], later.Ii[k] - base[BaseLowIi][k]);
            QCOMPARE(filed.VR[k], later.VR[k]);
        }

        session->unsetBaseLevel();
        later.scan = 3;
        session->dataUpdate(later);
        QCOMPARE(session->data().positions[0].scans[2].Delays200[0].Ir[0], later.Ir[0]);

        // An empty session tells the operator but sets nothing.
        auto empty = makeSession();
        QVERIFY(!empty->setBaseLevelFromSession());
        QCOMPARE(dialogs.messages.size(), 2);
        QVERIFY(!empty->data().baseLevelSet);
    }

    void baseLevelFromAFile()
    {
        auto reference = makeSession();
        feed(*reference, acquisition(0, 3, 1, 4));
        dialogs.saveNames = QStringList{path("reference.ldf")};
        QVERIFY(reference->save());

        auto session = makeSession();
        QVERIFY(!session->loadBaseLevel(path("absent.ldf")));
        QCOMPARE(dialogs.messages.last().kind, QStringLiteral("critical"));
        QVERIFY(dialogs.messages.last().text.startsWith(QStringLiteral("Cannot open file [")));
        QVERIFY(!session->data().baseLevelSet);

        QVERIFY(session->loadBaseLevel(path("reference.ldf")));
        QVERIFY(session->data().baseLevelSet);
        auto reloaded = makeSession();
        QCOMPARE(reloaded->load(path("reference.ldf")), 1);
        QCOMPARE(session->data().baseLevel, reloaded->data().baseLevelCandidates(0));
        QCOMPARE(dialogs.messages.first().title, QStringLiteral("Base level set"));
    }

    void scanButton()
    {
        auto session = makeSession();
        auto* button = child<QPushButton>(*session, "startScanButton");
        QSignalSpy started(session.get(), &PlotManager::scanStarted);
        button->click();
        QCOMPARE(button->text(), QStringLiteral("Stop Scan"));
        QCOMPARE(started.count(), 1);
        QCOMPARE(started.first().first().toBool(), true);
        QVERIFY(session->isScanning());

        session->scanToggled(false);
        QCOMPARE(button->text(), QStringLiteral("Start Scan"));
        QVERIFY(!button->isChecked());
        QCOMPARE(started.count(), 1);
        session->scanEnabled(false);
        QVERIFY(!button->isEnabled());
    }

    // Without the waveform plots the IV plot takes the whole height, and a
    // small window still holds the whole session (the controls scroll).
    void theSessionFitsItsRoom()
    {
        auto session = makeSession();
        session->resize(760, 420);
        session->show();
        QVERIFY(QTest::qWaitForWindowExposed(session.get()));
        QVERIFY(session->minimumSizeHint().width() <= 760 && session->minimumSizeHint().height() <= 420);
        QCOMPARE(session->size(), QSize(760, 420));

        const QWidget* iv = session->plots().plot(SessionPlots::IvPlot);
        const QWidget* lowBand = session->plots().plot(SessionPlots::LowBandPlot);
        QVERIFY(lowBand->isVisible());
        for (QCheckBox* box : session->findChildren<QCheckBox*>())
            if (box->text() == QStringLiteral("Show Waveforms"))
                box->setChecked(false);
        QTRY_VERIFY(!lowBand->isVisible() && session->height() - iv->geometry().bottom() < 30);
    }

    void wiringToTheSessionsWindows()
    {
        auto session = makeSession();
        QSignalSpy rail(session.get(), &PlotManager::positionRailUpdate);
        emit session->configPanel()->positionUpdate(12.5);
        QCOMPARE(rail.count(), 1);
        QCOMPARE(rail.first().first().toDouble(), 12.5);

        // The scan worker delivers frames queued, by the slot's signature.
        registerScanResultType();
        QVERIFY(QMetaObject::invokeMethod(session.get(), "dataUpdate", Qt::QueuedConnection,
                                          Q_ARG(scanResult, acquisition(0, 1, 1).first())));
        QVERIFY(!session->holdsScan());
        QTRY_VERIFY(session->holdsScan());

        // Closing the analysis settings shows the frame analysed anew.
        session->refreshValues();
        const ValuesPanel* values = session->findChild<ValuesPanel*>();
        const QString ni = values->valueText(ValuesPanel::NiRow);
        session->analysisSettings()->ionmass = 4;
        session->analysisSettings()->closeSettings();
        QVERIFY(values->valueText(ValuesPanel::NiRow) != ni);

        // The number of harmonics is shared by every session.
        child<QSpinBox>(*session, "harmonicsBox")->setValue(9);
        QCOMPARE(PlotManager::harmonicsCount(), 9);
        auto other = makeSession();
        QCOMPARE(child<QSpinBox>(*other, "harmonicsBox")->value(), 9);
    }

    void alertTellsWhatTheAnalysisFound()
    {
        auto session = makeSession();
        auto* alert = child<QPushButton>(*session, "alertButton");
        QCOMPARE(alert->toolTip(), QStringLiteral("Analysis alert. Click for more details."));
        alert->setChecked(true);
        QVERIFY(shown(*session, "alertLabel"));
        QCOMPARE(text(*session, "alertLabel"), QStringLiteral("Analysis for this time frame has not run yet."));

        scanResult flat = acquisition(0, 1, 1).first();
        std::fill(std::begin(flat.Ir), std::end(flat.Ir), 0.0);
        std::fill(std::begin(flat.Ii), std::end(flat.Ii), 0.0);
        session->dataUpdate(flat);
        session->refreshValues();
        // No current ever exceeds the ion threshold of 0 A.
        QCOMPARE(text(*session, "alertLabel"), QStringLiteral("Unable to find Vp."));
        alert->setChecked(false);
        QVERIFY(!shown(*session, "alertLabel"));
    }
};

QTEST_MAIN(TestPlotManager)
#include "test_plot_manager.moc"
