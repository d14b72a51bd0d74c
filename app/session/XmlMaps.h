#pragma once

#include <QMap>
#include <QString>
#include <QVector>

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

// Vectors by label, in ascending label order.
using VectorMap = QMap<QString, QVector<double>>;

// One "vec" element with the attribute "label" and the vector as its text
// (every element followed by ';').
void writeVector(QXmlStreamWriter& xml, const QString& label, const QVector<double>& values);

// Element `name` with `attributes` (ascending key order) holding one "vec"
// element per entry of `vectors`.
void writeVectorMap(QXmlStreamWriter& xml, const QString& name, const TextMap& attributes,
                    const VectorMap& vectors);

// The vector of the "vec" element the reader stands on (see parseVectorText);
// leaves the reader on that element's end.
QVector<double> readVector(QXmlStreamReader& xml);

// Collects the "vec" children of the element the reader stands on as label ->
// vector (a repeated label keeps its last vector); other children are
// skipped. Leaves the reader on that element's end.
VectorMap readVectorMap(QXmlStreamReader& xml);
