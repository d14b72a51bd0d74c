#include "session/XmlMaps.h"

#include "session/DecimalText.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

// A reader turns a bare carriage return in text into a line feed; written as
// a character reference it reads back as itself.
void writeTextKeepingCarriageReturns(QXmlStreamWriter& xml, const QString& text)
{
    int start = 0;
    for (int cr = text.indexOf(QLatin1Char('\r')); cr >= 0; cr = text.indexOf(QLatin1Char('\r'), start)) {
        xml.writeCharacters(text.mid(start, cr - start));
        xml.writeEntityReference(QStringLiteral("#13"));
        start = cr + 1;
    }
    xml.writeCharacters(text.mid(start));
}

} // namespace

void writeTextMap(QXmlStreamWriter& xml, const QString& name, const TextMap& map, const TextMap& attributes)
{
    xml.writeStartElement(name);
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        xml.writeAttribute(it.key(), it.value());
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        xml.writeStartElement(it.key());
        writeTextKeepingCarriageReturns(xml, it.value());
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

TextMap readTextMap(QXmlStreamReader& xml)
{
    TextMap map;
    while (xml.readNextStartElement()) {
        const QString key = xml.name().toString();
        map.insert(key, xml.readElementText(QXmlStreamReader::SkipChildElements));
    }
    return map;
}

namespace {

const QString vecElement = QStringLiteral("vec");
const QString labelAttribute = QStringLiteral("label");

} // namespace

void writeVector(QXmlStreamWriter& xml, const QString& label, const QVector<double>& values)
{
    xml.writeStartElement(vecElement);
    xml.writeAttribute(labelAttribute, label);
    xml.writeCharacters(QString::fromLatin1(vectorText(values)));
    xml.writeEndElement();
}

void writeVectorMap(QXmlStreamWriter& xml, const QString& name, const TextMap& attributes, const VectorMap& vectors)
{
    xml.writeStartElement(name);
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        xml.writeAttribute(it.key(), it.value());
    for (auto it = vectors.constBegin(); it != vectors.constEnd(); ++it)
        writeVector(xml, it.key(), it.value());
    xml.writeEndElement();
}

QVector<double> readVector(QXmlStreamReader& xml)
{
    // Read as the text arrives: a vector's text may be most of a file, and a
    // copy of it would double what reading costs.
    VectorTextReader reader;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::Characters:
            if (depth == 1)
                reader.feed(xml.text());
            break;
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return reader.finish();
}

VectorMap readVectorMap(QXmlStreamReader& xml)
{
    VectorMap vectors;
    while (xml.readNextStartElement()) {
        if (xml.name() == vecElement) {
            const QString label = xml.attributes().value(labelAttribute).toString();
            vectors.insert(label, readVector(xml));
        } else {
            xml.skipCurrentElement();
        }
    }
    return vectors;
}
