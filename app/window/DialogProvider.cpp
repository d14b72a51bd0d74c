#include "window/DialogProvider.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QPushButton>
#include <QUrl>

void DialogProvider::critical(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::critical(parent, title, text);
}

void DialogProvider::warning(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::warning(parent, title, text);
}

void DialogProvider::about(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox::about(parent, title, text);
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
