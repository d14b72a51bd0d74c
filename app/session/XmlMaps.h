#pragma once

#include <QMap>
#include <QString>

class QXmlStreamReader;
class QXmlStreamWriter;

// Key/value blocks of the session file. A QMap iterates its QString keys in
// ascending UTF-16 code-unit order, case-sensitive, which is the order the file
// requires ("Error" before "currentRange").
using TextMap = QMap<QString, QString>;

// Element `name` (with `attributes` on its start tag, in ascending key order)
// holding one text child element per entry of `map`.
void writeTextMap(QXmlStreamWriter& xml, const QString& name, const TextMap& map,
                  const TextMap& attributes = TextMap());

// Collects the child elements of the element the reader stands on, as name ->
// text (a repeated name keeps its last text), and leaves the reader on that
// element's end. Nested elements inside a child are skipped.
TextMap readTextMap(QXmlStreamReader& xml);
