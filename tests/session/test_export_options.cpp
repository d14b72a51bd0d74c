#include "session/CsvExport.h"
#include "session/ExportOptions.h"

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

const QString settingsFile = ".settings/ExportSettings.xml";

QCheckBox* box(const QDialog& dialog, const QString& text)
{
    for (QCheckBox* b : dialog.findChildren<QCheckBox*>())
        if (b->text() == text)
            return b;
    qFatal("no box %s", qPrintable(text));
}

QPushButton* button(const QDialog& dialog, QDialogButtonBox::StandardButton which)
{
    return dialog.findChild<QDialogButtonBox*>()->button(which);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The title and text of every message box shown while `action` runs; each box
// is closed as soon as it shows.
struct ShownBox
{
    QString title;
    QString text;
};

template <typename Action>
QVector<ShownBox> boxesShownBy(Action action)
{
    QVector<ShownBox> shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown.append({box->windowTitle(), box->text()});
            box->close();
        }
    });
    closer.start(10);
    action();
    return shown;
}

} // namespace

class TestExportOptions : public QObject
{
    Q_OBJECT

private slots:
    void init() { QDir(".settings").removeRecursively(); }

    void showsItsBoxesWithTheStoredChoices()
    {
        ExportSettings stored;
        stored.header = false;
        stored.doubleProbeCorrected = true; // the "IV Data" box follows this one
        stored.ivInterpolate = false;
        stored.waveFormData = false;
        stored.band200 = true;
        stored.separator = ",";
        QCOMPARE(stored.store(), QString());

        ExportOptions dialog;
        QCOMPARE(dialog.windowTitle(), QString("Export Data"));
        QCOMPARE(dialog.findChild<QGroupBox*>()->title(), QString("Export Options"));
        QCOMPARE(dialog.findChild<QLineEdit*>()->text(), QString(","));
        QVERIFY(!box(dialog, "Header Information")->isChecked());
        QVERIFY(box(dialog, "IV Data")->isChecked());
        QVERIFY(!box(dialog, "Plasma Parameters")->isChecked());
        for (const char* visible : {"Header Information", "IV Data", "Plasma Parameters"})
            QVERIFY(!box(dialog, visible)->isHidden());
        for (const char* hidden : {"IV WaveForm", "200 MHz", "400 MHz"})
            QVERIFY(box(dialog, hidden)->isHidden());
        QVERIFY(box(dialog, "200 MHz")->isChecked());

        // The band boxes follow "IV WaveForm".
        QVERIFY(!box(dialog, "200 MHz")->isEnabled());
        box(dialog, "IV WaveForm")->setChecked(true);
        QVERIFY(box(dialog, "200 MHz")->isEnabled() && box(dialog, "400 MHz")->isEnabled());
        box(dialog, "IV WaveForm")->setChecked(false);
        QVERIFY(!box(dialog, "400 MHz")->isEnabled());
    }

    void okNeedsASeparatorAndASection()
    {
        ExportOptions dialog;
        QPushButton* ok = button(dialog, QDialogButtonBox::Ok);
        QVERIFY(ok->isEnabled()); // the header is on by default
        box(dialog, "Header Information")->setChecked(false);
        QVERIFY(!ok->isEnabled());
        QVERIFY(!box(dialog, "Errors and Harmonic Analysis")->isChecked()); // off unless chosen
        box(dialog, "Errors and Harmonic Analysis")->setChecked(true);
        QVERIFY(ok->isEnabled());
        box(dialog, "Errors and Harmonic Analysis")->setChecked(false);
        box(dialog, "Plasma Parameters")->setChecked(true);
        QVERIFY(ok->isEnabled());
        dialog.findChild<QLineEdit*>()->clear();
        QVERIFY(!ok->isEnabled());
        dialog.findChild<QLineEdit*>()->setText("\t");
        QVERIFY(ok->isEnabled());
    }

    void okStoresTheChoices()
    {
        ExportSettings stored;
        stored.results = true; // no box sets it: it must survive
        QCOMPARE(stored.store(), QString());

        ExportOptions dialog;
        dialog.findChild<QLineEdit*>()->setText(" | ");
        box(dialog, "Header Information")->setChecked(false);
        box(dialog, "IV Data")->setChecked(true);
        box(dialog, "Plasma Parameters")->setChecked(true);
        box(dialog, "Errors and Harmonic Analysis")->setChecked(true);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        const ExportSettings& chosen = dialog.settings();
        QCOMPARE(chosen.separator, QString(" | "));
        QVERIFY(!chosen.header && chosen.ivInterpolate && chosen.doubleProbeCorrected && chosen.plasmaParameters);
        QVERIFY(chosen.errorsAndHarmonics);

        ExportSettings read;
        read.load();
        QCOMPARE(read.separator, QString(" | "));
        QVERIFY(!read.header && read.ivInterpolate && read.doubleProbeCorrected && read.results);
        QVERIFY(!read.plasmaParameters && !read.errorsAndHarmonics);
        QVERIFY(!fileBytes(settingsFile).contains("Plasma") && !fileBytes(settingsFile).contains("Harmonic"));

        // A stored separator that could not separate fields (a line break
        // splits rows; a megabyte between fields is no table) keeps the default.
        for (const QString& unusable : {QString("a\nb"), QString(17, QLatin1Char(','))}) {
            ExportSettings odd;
            odd.separator = unusable;
            QCOMPARE(odd.store(), QString());
            ExportSettings reread;
            reread.load();
            QCOMPARE(reread.separator, QString(";"));
        }
    }

    void choicesThatCannotBeStoredStillHoldForThisExport()
    {
        QVERIFY(QDir().mkpath(settingsFile)); // a folder where the file belongs
        ExportOptions dialog;
        box(dialog, "Plasma Parameters")->setChecked(true);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Cannot write settings file \\[\\.settings/ExportSettings.xml\\]"));
        QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.settings().plasmaParameters && dialog.settings().header);
    }

    void cancelStoresNothing()
    {
        {
            ExportOptions dialog;
            box(dialog, "IV Data")->setChecked(true);
            QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
        QVERIFY(!QFileInfo::exists(settingsFile));

        ExportSettings stored;
        stored.separator = ",";
        QCOMPARE(stored.store(), QString());
        const QByteArray before = fileBytes(settingsFile);
        ExportOptions dialog;
        dialog.findChild<QLineEdit*>()->setText(";;");
        box(dialog, "Header Information")->setChecked(false);
        box(dialog, "IV Data")->setChecked(true);
        dialog.reject();
        QCOMPARE(fileBytes(settingsFile), before);
    }

    void aFailedExportIsShownToTheUser()
    {
        ExportSettings options;
        const QString error = exportSession("no/such/folder/out.csv", options, measuredData(), LangmuirSettings());
        QVERIFY(error.startsWith("[ERROR] Export Data: Failed to open file 'no/such/folder/out.csv' for writing ("));

        const QVector<ShownBox> shown = boxesShownBy([&] { showExportError(nullptr, error); });
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QString("Orvel"));
        QCOMPARE(shown[0].text, error);

        QVERIFY(boxesShownBy([] { showExportError(nullptr, QString()); }).isEmpty());
    }
};

QTEST_MAIN(TestExportOptions)
#include "test_export_options.moc"
