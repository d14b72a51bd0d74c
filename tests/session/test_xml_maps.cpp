#include "session/XmlMaps.h"

#include <QBuffer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <QtTest>

class TestXmlMaps : public QObject
{
    Q_OBJECT

private slots:
    void writesKeysInCodeUnitOrderWithAttributes()
    {
        QByteArray out;
        QXmlStreamWriter xml(&out);
        writeTextMap(xml, "Status", {{"date", "1"}, {"Error", "x"}, {"dCurrentRange", "2"}, {"currentRange", "3"}},
                     {{"z", "1"}, {"class", "c"}});
        QCOMPARE(out, QByteArray("<Status class=\"c\" z=\"1\"><Error>x</Error><currentRange>3</currentRange>"
                                 "<dCurrentRange>2</dCurrentRange><date>1</date></Status>"));
    }

    void readsChildrenKeepingTheLastOfARepeatedName()
    {
        QXmlStreamReader xml(QByteArray("<root><settings class=\"configParam\"><b>1</b><a>2</a><b>3</b>"
                                        "<n><deep>9</deep>t</n></settings><after/></root>"));
        QVERIFY(xml.readNextStartElement());
        QVERIFY(xml.readNextStartElement());
        const TextMap map = readTextMap(xml);
        QCOMPARE(map.value("a"), QString("2"));
        QCOMPARE(map.value("b"), QString("3"));
        QCOMPARE(map.value("n"), QString("t"));
        QCOMPARE(map.size(), 3);
        QVERIFY(xml.isEndElement());
        QCOMPARE(xml.name().toString(), QString("settings"));
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name().toString(), QString("after"));
    }

    void truncatedInputEndsWithoutHanging()
    {
        QXmlStreamReader xml(QByteArray("<root><settings><a>1</a><b>2"));
        QVERIFY(xml.readNextStartElement());
        QVERIFY(xml.readNextStartElement());
        const TextMap map = readTextMap(xml);
        QCOMPARE(map.value("a"), QString("1"));
        QVERIFY(xml.hasError());
    }
};

QTEST_GUILESS_MAIN(TestXmlMaps)
#include "test_xml_maps.moc"
