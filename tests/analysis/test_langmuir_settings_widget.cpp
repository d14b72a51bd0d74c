#include "analysis/LangmuirSettingsWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

// Types into a field the way the operator does: replace its text, then Return.
void type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

void writeFile(const QByteArray& content)
{
    QDir().mkpath(".settings");
    QFile file(LangmuirSettingsWidget::settingsFilePath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestLangmuirSettingsWidget : public QObject
{
    Q_OBJECT

    std::unique_ptr<LangmuirSettingsWidget> w;

    template <class T = QLineEdit>
    T* field(const char* name)
    {
        T* child = w->findChild<T*>(QLatin1String(name));
        if (!child)
            qFatal("no field %s", name);
        return child;
    }

private slots:
    void init()
    {
        QFile::remove(LangmuirSettingsWidget::settingsFilePath);
        w = std::make_unique<LangmuirSettingsWidget>();
    }

    void cleanup() { w.reset(); }

    void startsWithTheDefaults()
    {
        QCOMPARE(w->windowTitle(), QString("Process Settings"));
        QCOMPARE(w->qt_metacast("LangmuirSettings"), static_cast<void*>(static_cast<LangmuirSettings*>(w.get())));
        QCOMPARE(field("ionMassEdit")->text(), QString("40"));
        QCOMPARE(field("rpEdit")->text(), QString("0.0035"));
        QCOMPARE(field("rhEdit")->text(), QString("2E-3"));
        QCOMPARE(field("pressureEdit")->text(), QString("0.0024"));
        QCOMPARE(field("sigmaNEdit")->text(), QString("8.8E-19"));
        QCOMPARE(field("sigmaEnEdit")->text(), QString("4.14e-20"));
        QCOMPARE(field("userVpEdit")->text(), QString("31"));
        QVERIFY(!field("userVpEdit")->isEnabled());
        QCOMPARE(w->probe_radius, 0.0035);
        QCOMPARE(w->probe_length, 0.012);
        QCOMPARE(w->pressure, 0.0024);
        QCOMPARE(w->correctDC, true);
        // The holder radius field is not copied into the record.
        QCOMPARE(w->probe_holder, 0.003);
    }

    void pressureUnits()
    {
        auto* unitBox = field<QComboBox>("pressureUnitBox");
        QCOMPARE(unitBox->count(), 3);
        unitBox->setCurrentIndex(1); // [Bar]
        QCOMPARE(w->pressure, 0.0024);
        type(field("pressureEdit"), "5e-3");
        QCOMPARE(w->pressure, 5e-3 * 750.06);
        QCOMPARE(QString::number(w->pressure, 'g', 10), QString("3.7503"));
        // The factors back are not exact inverses.
        QCOMPARE(field("pressureEdit")->text(), QString("0.0049999"));
        unitBox->setCurrentIndex(2); // [Pascal]
        QCOMPARE(field("pressureEdit")->text(), QString("499.997"));
        type(field("pressureEdit"), "100");
        QCOMPARE(w->pressure, 100 * 0.0075006);
        unitBox->setCurrentIndex(0);
        QCOMPARE(field("pressureEdit")->text(), QString("0.75006"));
    }

    void rejectedTextIsUndone()
    {
        type(field("rpEdit"), "0.005");
        QCOMPARE(w->probe_radius, 0.005);
        // Out of range: the field keeps the text while it is being edited ...
        type(field("rpEdit"), "0.02");
        QCOMPARE(field("rpEdit")->text(), QString("0.02"));
        QCOMPARE(w->probe_radius, 0.005);
        // ... and the next update takes it back.
        type(field("tgEdit"), "350");
        QCOMPARE(field("rpEdit")->text(), QString("0.005"));
        QCOMPARE(w->probe_radius, 0.005);
        QCOMPARE(w->gas_temperature, 350.0);

        // A rejected text without an edit history to undo keeps the record's value.
        field("ionMassEdit")->setText("0.5");
        w->setLangmuirSettings();
        QCOMPARE(w->ionmass, 40.0);
        QCOMPARE(field("ionMassEdit")->text(), QString("40"));
    }

    void probeResistance()
    {
        QSignalSpy changed(w.get(), &LangmuirSettingsWidget::probeResChanged);
        type(field("resEdit"), "12.5");
        QCOMPARE(w->probe_resistance, 12.5);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toDouble(), 12.5);
        type(field("resEdit"), "12.5");
        QCOMPARE(changed.count(), 1); // unchanged value: no signal

        type(field("resEdit"), "150"); // above 100: not accepted
        w->setProbeRes();
        QCOMPARE(field("resEdit")->text(), QString("12.5"));
        field("resEdit")->setText("-4");
        w->setProbeRes();
        QCOMPARE(field("resEdit")->text(), QString("12.5"));
        QCOMPARE(w->probe_resistance, 12.5);
        QCOMPARE(changed.count(), 1);
    }

    void userVpPerFrame()
    {
        auto* useBox = field<QCheckBox>("useUserVpBox");
        w->setCurrentFrame(2);
        useBox->click();
        QVERIFY(field("userVpEdit")->isEnabled());
        QCOMPARE(w->bUseUserVpForFrame, (QVector<bool>{false, false, true}));
        QCOMPARE(w->UserVpValuesList.value(2), 31.0);
        type(field("userVpEdit"), "12.5");
        QCOMPARE(w->UserVpValuesList.value(2), 12.5);
        // The analysis' own switch is not the per-frame list.
        QCOMPARE(w->bUseUserVp, false);

        w->setCurrentFrame(5);
        QVERIFY(!useBox->isChecked());
        QVERIFY(!field("userVpEdit")->isEnabled());
        w->setCurrentFrame(2);
        QVERIFY(useBox->isChecked());
        QCOMPARE(field("userVpEdit")->text(), QString("12.5"));
        useBox->click();
        QCOMPARE(w->bUseUserVpForFrame.value(2), false);
        QVERIFY(!field("userVpEdit")->isEnabled());
    }

    void optionsAndClose()
    {
        field<QComboBox>("useZeroCrossing")->setCurrentIndex(1);
        QCOMPARE(w->bUse2ndDerivativeZeroVp, true);
        field<QCheckBox>("correctDC")->setChecked(false);
        QCOMPARE(w->correctDC, false);

        QSignalSpy closed(w.get(), &LangmuirSettingsWidget::settingsClosed);
        w->show();
        QVERIFY(w->isVisible());
        field<QPushButton>("closeButton")->click();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!w->isVisible());
    }

    void dialogFileKeepsTheTexts()
    {
        type(field("rpEdit"), "0.005");
        field("rhEdit")->setText("1E-3");
        field("sigmaEnEdit")->setText("5e-20");
        type(field("resEdit"), "7");
        field<QComboBox>("pressureUnitBox")->setCurrentIndex(2);
        field<QComboBox>("useZeroCrossing")->setCurrentIndex(1);
        field<QCheckBox>("correctDC")->setChecked(false);
        w->setUserVpForFrame(1, 4.5);
        const QString pressureText = field("pressureEdit")->text();
        w.reset();

        QFile file(LangmuirSettingsWidget::settingsFilePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        file.close();
        QVERIFY(text.contains("<settings class=\"LangmuirSettingsWidget\">"));
        const char* order[] = {"ionMassEdit", "rpEdit", "rhEdit", "resEdit", "lpEdit", "tgEdit", "pressureEdit",
                               "pressureUnitBox", "sigmaNEdit", "sigmaEnEdit", "correctDC", "useZeroCrossing",
                               "totoenstring", "tutualaplage"};
        int last = -1;
        for (const char* name : order) {
            const int at = text.indexOf(QStringLiteral("<%1>").arg(name));
            QVERIFY2(at > last, name);
            last = at;
        }
        QVERIFY(text.contains("<pressureUnitBox>2</pressureUnitBox>"));
        QVERIFY(text.contains("<totoenstring>5e-20</totoenstring>"));
        QVERIFY(text.contains("<tutualaplage>0;4.5;</tutualaplage>"));

        w = std::make_unique<LangmuirSettingsWidget>();
        QCOMPARE(field("rpEdit")->text(), QString("0.005"));
        QCOMPARE(field("rhEdit")->text(), QString("1E-3"));
        QCOMPARE(field("sigmaEnEdit")->text(), QString("5e-20"));
        QCOMPARE(field<QComboBox>("pressureUnitBox")->currentIndex(), 2);
        // The record follows the restored text in the restored unit.
        QCOMPARE(w->pressure, pressureText.toDouble() * 0.0075006);
        QCOMPARE(w->probe_radius, 0.005);
        QCOMPARE(w->probe_resistance, 7.0);
        QCOMPARE(w->correctDC, false);
        QCOMPARE(w->bUse2ndDerivativeZeroVp, true);
    }

    void foreignOrOddFilesLeaveTheDefaults()
    {
        w.reset();
        writeFile("<settings class=\"ExportOptions\"><rpEdit>0.001</rpEdit></settings>");
        w = std::make_unique<LangmuirSettingsWidget>();
        QCOMPARE(w->probe_radius, 0.0035);

        w.reset();
        writeFile("<settings class=\"LangmuirSettingsWidget\"><pressureUnitBox>7</pressureUnitBox>"
                  "<useZeroCrossing>-1</useZeroCrossing><rpEdit>abc</rpEdit><tgEdit>400</tgEdit></settings>");
        w = std::make_unique<LangmuirSettingsWidget>();
        QCOMPARE(field<QComboBox>("pressureUnitBox")->currentIndex(), 0);
        QCOMPARE(field<QComboBox>("useZeroCrossing")->currentIndex(), 0);
        QCOMPARE(w->probe_radius, 0.0035);
        QCOMPARE(field("rpEdit")->text(), QString("0.0035"));
        QCOMPARE(w->gas_temperature, 400.0);
    }
};

QTEST_MAIN(TestLangmuirSettingsWidget)
#include "test_langmuir_settings_widget.moc"
