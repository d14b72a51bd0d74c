#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QDialog;
class QUrl;
class QWidget;

// The questions and messages the session windows put to the operator, in one
// place so that they can be answered without a person at the desk: tests (and
// any unattended run) install a provider that answers from a script instead of
// opening a modal dialog.
class DialogProvider
{
public:
    virtual ~DialogProvider() = default;

    virtual void critical(QWidget* parent, const QString& title, const QString& text);
    virtual void warning(QWidget* parent, const QString& title, const QString& text);
    // An information box with the application's icon.
    virtual void about(QWidget* parent, const QString& title, const QString& text);

    // Runs a modal dialog; QDialog::Accepted or QDialog::Rejected.
    virtual int exec(QDialog& dialog);

    // Opens a file or location with the desktop's default handler; false when
    // none could.
    virtual bool openUrl(const QUrl& url);

    // An existing file to read, or an empty name when the operator cancels.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& start,
                                 const QString& filter);
    // A file to write, or an empty name when the operator cancels. A name
    // typed without a suffix gets `defaultSuffix`.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& start,
                                 const QString& filter, const QString& defaultSuffix);

    // Save, Discard or Cancel, Save being the default.
    virtual QMessageBox::StandardButton askToSaveChanges(QWidget* parent, const QString& text,
                                                         const QString& informativeText);

    // A question answered by one of `buttons`: the index of the button
    // pressed. The first button is the default; Escape, or closing the box,
    // counts as the last.
    virtual int choose(QWidget* parent, const QString& title, const QString& text, const QString& informativeText,
                       const QStringList& buttons);

    // The provider that opens the toolkit's own dialogs.
    static DialogProvider* standard();
};
