#pragma once

// Answers the main window's and the sessions' questions from a script and
// keeps what was said, so no test ever waits on a modal dialog.

#include "window/DialogProvider.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QList>
#include <QPushButton>
#include <QStringList>
#include <QUrl>

#include <functional>

struct Message
{
    QString kind;
    QString title;
    QString text;
};

class ScriptedDialogs : public DialogProvider
{
public:
    QList<Message> messages;
    QStringList openNames; // answers to open dialogs, in order; none left = cancel
    QStringList saveNames; // answers to save dialogs, in order; none left = cancel
    QStringList saveCaptions;
    QList<QMessageBox::StandardButton> closeAnswers; // none left = Cancel
    QStringList dialogTitles; // titles of the modal dialogs run
    QList<int> choices; // answers to questions, as button indexes; none left = the last button
    // Runs on each modal dialog; the default presses OK.
    std::function<int(QDialog&)> onDialog = [](QDialog& dialog) { return pressOk(dialog); };
    QList<QUrl> openedUrls;
    bool desktopOpensUrls = true; // whether the desktop has a handler for them

    static int pressOk(QDialog& dialog)
    {
        const auto* buttons = dialog.findChild<QDialogButtonBox*>();
        if (QPushButton* ok = buttons ? buttons->button(QDialogButtonBox::Ok) : nullptr)
            ok->click();
        else
            dialog.accept();
        return dialog.result();
    }

    QStringList texts(const QString& kind) const
    {
        QStringList found;
        for (const Message& m : messages)
            if (m.kind == kind)
                found.append(m.title + QLatin1Char('|') + m.text);
        return found;
    }

    void critical(QWidget*, const QString& title, const QString& text) override
    {
        messages.append({QStringLiteral("critical"), title, text});
    }
    void warning(QWidget*, const QString& title, const QString& text) override
    {
        messages.append({QStringLiteral("warning"), title, text});
    }
    void about(QWidget*, const QString& title, const QString& text) override
    {
        messages.append({QStringLiteral("about"), title, text});
    }
    int exec(QDialog& dialog) override
    {
        dialogTitles.append(dialog.windowTitle());
        return onDialog(dialog);
    }
    bool openUrl(const QUrl& url) override
    {
        openedUrls.append(url);
        return desktopOpensUrls;
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return openNames.isEmpty() ? QString() : openNames.takeFirst();
    }
    QString saveFileName(QWidget*, const QString& caption, const QString&, const QString&, const QString&) override
    {
        saveCaptions.append(caption);
        return saveNames.isEmpty() ? QString() : saveNames.takeFirst();
    }
    int choose(QWidget*, const QString& title, const QString& text, const QString&,
               const QStringList& buttons) override
    {
        messages.append({QStringLiteral("question"), title, text});
        return choices.isEmpty() ? int(buttons.size()) - 1 : choices.takeFirst();
    }
    QMessageBox::StandardButton askToSaveChanges(QWidget*, const QString& text, const QString&) override
    {
        messages.append({QStringLiteral("prompt"), QString(), text});
        return closeAnswers.isEmpty() ? QMessageBox::Cancel : closeAnswers.takeFirst();
    }
};
