#include "session/XmlMaps.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

void writeTextMap(QXmlStreamWriter& xml, const QString& name, const TextMap& map, const TextMap& attributes)
{
    xml.writeStartElement(name);
    for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it)
        xml.writeAttribute(it.key(), it.value());
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        xml.writeTextElement(it.key(), it.value());
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
