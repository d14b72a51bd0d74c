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

    void writesVectorMapsInLabelOrder()
    {
        QByteArray out;
        QXmlStreamWriter xml(&out);
        writeVectorMap(xml, "data", {{"class", "correctedData"}},
                       {{"stdV", {}}, {"V", {1.5, -2}}, {"I", {1e-05}}, {"stdI", {123456789}}});
        QCOMPARE(out, QByteArray("<data class=\"correctedData\"><vec label=\"I\">1e-05;</vec>"
                                 "<vec label=\"V\">1.5;-2;</vec><vec label=\"stdI\">1.23457e+08;</vec>"
                                 "<vec label=\"stdV\"></vec></data>"));
    }

    void readsVectorChildrenByLabelSkippingOthers()
    {
        QXmlStreamReader xml(QByteArray("<root><trace duration=\"1\"><vec label=\"V\">1;2;</vec><note>x</note>"
                                        "<vec label=\"dIdV\">;3;;x;</vec><vec label=\"V\">4;</vec><vec>5;</vec>"
                                        "</trace><after/></root>"));
        QVERIFY(xml.readNextStartElement());
        QVERIFY(xml.readNextStartElement());
        const VectorMap vectors = readVectorMap(xml);
        QCOMPARE(vectors.value("V"), QVector<double>({4}));
        QCOMPARE(vectors.value("dIdV"), QVector<double>({3, 0}));
        QCOMPARE(vectors.value(""), QVector<double>({5}));
        QCOMPARE(vectors.size(), 3);
        QVERIFY(xml.readNextStartElement());
        QCOMPARE(xml.name().toString(), QString("after"));
    }

    void carriageReturnsInTextSurviveAReadBack()
    {
        QByteArray out;
        QXmlStreamWriter xml(&out);
        writeTextMap(xml, "header", {{"comment", "a\rb\r\nc"}});
        QXmlStreamReader in(out);
        QVERIFY(in.readNextStartElement());
        QCOMPARE(readTextMap(in).value("comment"), QString("a\rb\r\nc"));
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
