#pragma once

#include "config/NumberRange.h"

#include <QMap>
#include <QString>

class LangmuirSettings;

// The number fields of the "Process Settings" dialog that set the record, by
// their object names (also the element names of its file
// ".settings/LangmuirSettingsWidget.xml"): "ionMassEdit", "rpEdit", "lpEdit",
// "tgEdit", "sigmaNEdit", "pressureEdit" (in the unit of "pressureUnitBox")
// and "resEdit". The dialog and every reader of its file take a text by the
// same rule, so that a file can never set what typing could not.

// The range a field accepts: its setting's range, except the pressure field,
// which takes 0 to 1e9 in whichever unit it shows. Null for an unknown name.
const NumberRange* fieldRange(const QString& objectName);

// Whether `text` is a number (C locale, as the dialog's file keeps it) within
// the field's range; the number goes to `value` when given.
bool acceptsFieldText(const QString& objectName, const QString& text, double* value = nullptr);

// What the dialog's "apply" does with its texts: every accepted text of the
// first six fields above sets its number of the record (the pressure converted
// to Torr from the unit at index `pressureUnit`); a missing or refused text
// leaves the record's value. The resistance field is applied on its own.
void applyFieldTexts(const QMap<QString, QString>& texts, int pressureUnit, LangmuirSettings& record);
