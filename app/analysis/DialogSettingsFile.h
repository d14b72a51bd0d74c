#pragma once

#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>

// The small XML files in which dialogs keep their field texts between runs:
// a root element "settings" whose attribute "class" names the dialog, holding
// one text element per entry. Files of the export options carry no class: an
// empty class name writes none and reads any "settings" root.
using DialogEntries = QVector<QPair<QString, QString>>;

// Writes the entries in their order, creating the file's folder (the part of
// `path` before its last "/") first. Returns an empty text on success, else
// the message for the operator; an existing file is only replaced by a
// complete new one.
QString writeDialogSettingsFile(const QString& path, const QString& className, const DialogEntries& entries);

// Reads the entries of a file written for `className` into `entries` (element
// name -> text, any order). A missing file, a file of another class and a file
// that is not well-formed leave `entries` empty without a message; an empty
// text is returned unless the file exists and cannot be read.
QString readDialogSettingsFile(const QString& path, const QString& className, QMap<QString, QString>& entries);
