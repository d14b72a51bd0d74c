#include "window/DialogProvider.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include <algorithm>

namespace {

// Room the window decorations take beside the title: the window's icon and
// its three buttons, with a margin.
constexpr int kTitleBarAllowance = 150;
// Kept free on either side of a box as wide as its text.
constexpr int kScreenMargin = 40;

// The toolkit breaks a box's text into lines once it is wider than half the
// screen (500 pixels at most), which cuts the hardware information's ruled
// heading in two, and a short text gives a box too narrow for its title,
// which the decorations then cut ("Inva... file"). The text's label is made
// as wide as its widest line and the title, within the screen.
void fitToTextAndTitle(QMessageBox& box, const QString& title, const QString& text)
{
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!label)
        return;
    const QFontMetrics metrics(label->font());
    int widest = QFontMetrics(box.font()).horizontalAdvance(title) + kTitleBarAllowance;
    for (QString line : text.split(QLatin1Char('\n'))) {
        line.replace(QLatin1Char('\t'), QString(8, QLatin1Char(' ')));
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    if (const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen())
        widest = std::min(widest, screen->availableGeometry().width() - 2 * kScreenMargin);
    label->setMinimumWidth(widest);
}

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    fitToTextAndTitle(box, title, text);
    box.exec();
}

} // namespace

void DialogProvider::critical(QWidget* parent, const QString& title, const QString& text)
{
    showMessage(parent, QMessageBox::Critical, title, text);
}

void DialogProvider::warning(QWidget* parent, const QString& title, const QString& text)
{
    showMessage(parent, QMessageBox::Warning, title, text);
}

// As the toolkit's about box: the application's icon beside the text.
void DialogProvider::about(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, parent);
    const QIcon icon = box.windowIcon();
    box.setIconPixmap(icon.pixmap(icon.actualSize(QSize(64, 64))));
    fitToTextAndTitle(box, title, text);
    box.exec();
}

int DialogProvider::exec(QDialog& dialog)
{
    return dialog.exec();
}

bool DialogProvider::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

QString DialogProvider::openFileName(QWidget* parent, const QString& caption, const QString& start,
                                     const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

QString DialogProvider::saveFileName(QWidget* parent, const QString& caption, const QString& start,
                                     const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QMessageBox::StandardButton DialogProvider::askToSaveChanges(QWidget* parent, const QString& text,
                                                             const QString& informativeText)
{
    QMessageBox box(parent);
    box.setText(text);
    box.setInformativeText(informativeText);
    box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Save);
    return QMessageBox::StandardButton(box.exec());
}

int DialogProvider::choose(QWidget* parent, const QString& title, const QString& text,
                           const QString& informativeText, const QStringList& buttons)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    box.setInformativeText(informativeText);
    QList<QAbstractButton*> added;
    for (const QString& label : buttons)
        added.append(box.addButton(label, QMessageBox::ActionRole));
    if (!added.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(added.constFirst()));
        box.setEscapeButton(added.constLast());
    }
    box.exec();
    return added.indexOf(box.clickedButton());
}

DialogProvider* DialogProvider::standard()
{
    static DialogProvider provider;
    return &provider;
}
