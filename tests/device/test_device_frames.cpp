// The wire formats as pure functions: command frames, clock conversions,
// frame boundaries, data frames, status and info replies.

#include "orvelDevice.h"
#include "protocol/ByteCursor.h"
#include "protocol/CommandFrames.h"
#include "protocol/SensorClock.h"
#include "protocol/SensorFrames.h"

#include <QtTest>

#include <climits>
#include <cstring>

using namespace orvel::device;

namespace {

std::uint32_t u32At(const CommandFrame& frame, int offset)
{
    std::uint32_t value = 0;
    ByteReader(frame.data() + offset, 4).u32(value);
    return value;
}

bool zeroFrom(const CommandFrame& frame, int offset)
{
    for (int i = offset; i < commandFrameSize; ++i)
        if (frame[i] != 0)
            return false;
    return true;
}

InfoReply info(const std::string& text)
{
    return parseInfoReply(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

DataFrame sampleFrame(int harmonics)
{
    DataFrame frame;
    frame.position = 0xFFEE;
    frame.mode = 0xA5;
    frame.scan = 40000;
    frame.word8 = 0x1234;
    frame.word10 = 0xFEDC;
    frame.delayTicks = -12607;
    frame.harmonicCount = static_cast<std::int8_t>(harmonics);
    frame.freq = 123456.5f;
    for (int k = 0; k < maxHarmonics; ++k)
        frame.harmonics[k] = {k + 0.5f, -k - 0.25f, k * 1e-6f, -k * 3e3f};
    return frame;
}

} // namespace

class TestDeviceFrames : public QObject
{
    Q_OBJECT

private slots:
    void simpleCommandsAreOneLetterThenZeros()
    {
        const std::pair<CommandFrame, char> frames[] = {
            {goFrame(), 'G'}, {endFrame(), 'E'}, {statusRequestFrame(), 'S'}, {infoRequestFrame(), 'i'}};
        for (const auto& [frame, letter] : frames) {
            QCOMPARE(char(frame[0]), letter);
            QVERIFY(zeroFrom(frame, 1));
        }
    }

    void averagedModeClampsIntegrationTime()
    {
        const CommandFrame clamped = averagedModeFrame(0x0102, 25000);
        QCOMPARE(char(clamped[0]), 'M');
        QCOMPARE(char(clamped[1]), 'A');
        QCOMPARE(int(clamped[2]), 0x02);
        QCOMPARE(int(clamped[3]), 0x01);
        QCOMPARE(u32At(clamped, 4), 10000u);
        QVERIFY(zeroFrom(clamped, 8));
        QCOMPARE(u32At(averagedModeFrame(3, 10000), 4), 10000u);
        QCOMPARE(u32At(averagedModeFrame(3, 9999), 4), 9999u);
        QCOMPARE(u32At(averagedModeFrame(3, 0xFFFFFFFFu), 4), 10000u);
    }

    void timeResolvedModeScalesByTheClock()
    {
        const CommandFrame slow = timeResolvedModeFrame(7, 0xCAFEBABE, 100, 1000, 5, slowTickFactor);
        QCOMPARE(char(slow[1]), 'R');
        QCOMPARE(int(slow[2]), 7);
        QCOMPARE(u32At(slow, 4), 1260u);
        QCOMPARE(u32At(slow, 8), 12606u);
        QCOMPARE(u32At(slow, 12), 0xCAFEBABEu); // sent as given
        QCOMPARE(u32At(slow, 16), 63u);
        QVERIFY(zeroFrom(slow, 20));

        const CommandFrame fast = timeResolvedModeFrame(7, 1, 100, 1000, 5, fastTickFactor);
        QCOMPARE(u32At(fast, 4), 3961u);
        QCOMPARE(u32At(fast, 8), 39619u);
        QCOMPARE(u32At(fast, 16), 198u);
    }

    void scaledFieldsKeepTheLow32BitsOfLargeProducts()
    {
        // Products beyond 32 bits are truncated to 64 bits first, then cut.
        QCOMPARE(microsecondsToTicks(4294967295u, slowTickFactor), 2603012096u);
        QCOMPARE(microsecondsToTicks(340000000u, slowTickFactor), 4286060800u);
        QCOMPARE(microsecondsToTicks(340000000u, fastTickFactor), 585574400u);
    }

    void ticksBecomeTruncatedMicroseconds()
    {
        QCOMPARE(ticksToMicroseconds(12607, slowTickFactor), 1000);
        QCOMPARE(ticksToMicroseconds(12606, slowTickFactor), 999);
        QCOMPARE(ticksToMicroseconds(12607, fastTickFactor), 318);
        QCOMPARE(ticksToMicroseconds(-12607, slowTickFactor), -1000);
        QCOMPARE(scaledTimeout(4, slowTickFactor), 50);
        QCOMPARE(scaledTimeout(INT_MAX, fastTickFactor), INT_MAX); // held in range, never undefined
    }

    void byteOrderHelpersStoreLittleEndian()
    {
        char out[8];
        std::memset(out, 0x55, sizeof out);
        orvelDevice::setIntToBytes(out, 0x12345678u);
        QCOMPARE(QByteArray(out, 4), QByteArray("\x78\x56\x34\x12", 4));
        orvelDevice::setShortIntToBytes(out, 0xABCD);
        QCOMPARE(QByteArray(out, 2), QByteArray("\xCD\xAB", 2));
        std::memset(out, 0x55, sizeof out);
        orvelDevice::setLongIntToBytes(out, 0xA1B2C3D4ul);
        QCOMPARE(QByteArray(out, 5), QByteArray("\xD4\xC3\xB2\xA1\x55", 5)); // four bytes, no more
    }

    void framesAreCutByTheirLengthField()
    {
        const unsigned char shortHeader[] = {'D', 0};
        QCOMPARE(findFrame(shortHeader, 2).kind, FrameBoundary::NeedMore);

        std::vector<unsigned char> bytes(400, 0);
        bytes[0] = '?'; // the type byte plays no part
        bytes[1] = 44; // 300
        bytes[2] = 1;
        QCOMPARE(findFrame(bytes.data(), 302).kind, FrameBoundary::NeedMore);
        const FrameBoundary full = findFrame(bytes.data(), 400);
        QCOMPARE(full.kind, FrameBoundary::Complete);
        QCOMPARE(full.length, std::size_t(303));

        bytes[1] = 45; // 301
        QCOMPARE(findFrame(bytes.data(), 400).kind, FrameBoundary::Oversize);
        QCOMPARE(findFrame(bytes.data(), 3).kind, FrameBoundary::Oversize);
    }

    void dataFrameRoundTrip()
    {
        const DataFrame sent = sampleFrame(16);
        const std::vector<unsigned char> bytes = encodeDataFrame(sent);
        QCOMPARE(bytes.size(), std::size_t(21 + 16 * 16));
        QCOMPARE(int(bytes[1] | bytes[2] << 8), 18 + 16 * 16);

        const auto got = decodeDataFrame(bytes.data(), bytes.size());
        QVERIFY(got);
        QCOMPARE(got->position, sent.position);
        QCOMPARE(got->mode, sent.mode);
        QCOMPARE(got->scan, sent.scan);
        QCOMPARE(got->word8, sent.word8);
        QCOMPARE(got->word10, sent.word10);
        QCOMPARE(got->delayTicks, sent.delayTicks);
        QCOMPARE(got->freq, sent.freq);
        QCOMPARE(got->recordCount, 16);
        for (int k = 0; k < 16; ++k) {
            QCOMPARE(got->harmonics[k].VR, sent.harmonics[k].VR);
            QCOMPARE(got->harmonics[k].Vi, sent.harmonics[k].Vi);
            QCOMPARE(got->harmonics[k].Ir, sent.harmonics[k].Ir);
            QCOMPARE(got->harmonics[k].Ii, sent.harmonics[k].Ii);
        }
    }

    void harmonicCountIsHeldToWhatIsSafe_data()
    {
        QTest::addColumn<int>("countByte");
        QTest::addColumn<int>("recordsInFrame");
        QTest::addColumn<int>("decoded");
        QTest::newRow("seventeen records present") << 17 << 17 << 16;
        QTest::newRow("count above sixteen") << 100 << 16 << 16;
        QTest::newRow("negative count") << -3 << 4 << 0;
        QTest::newRow("count beyond the frame") << 10 << 4 << 4;
        QTest::newRow("count below the records") << 2 << 5 << 2;
    }

    void harmonicCountIsHeldToWhatIsSafe()
    {
        QFETCH(int, countByte);
        QFETCH(int, recordsInFrame);
        QFETCH(int, decoded);
        // The frame sits in a larger buffer whose tail holds more records: a
        // decoder reading past the frame's end would count them.
        DataFrame source = sampleFrame(16);
        std::vector<unsigned char> buffer = encodeDataFrame(source);
        std::vector<unsigned char> extra(16 * harmonicRecordLength, 0x41);
        buffer.insert(buffer.end(), extra.begin(), extra.end());
        const std::size_t frameLength = dataFrameFixedLength + recordsInFrame * harmonicRecordLength;
        buffer[16] = static_cast<unsigned char>(static_cast<std::int8_t>(countByte));

        const auto got = decodeDataFrame(buffer.data(), frameLength);
        QVERIFY(got);
        QCOMPARE(int(got->harmonicCount), countByte);
        QCOMPARE(got->recordCount, decoded);
        for (int k = 0; k < decoded; ++k)
            QCOMPARE(got->harmonics[k].VR, source.harmonics[k].VR);
    }

    void frameShorterThanItsFixedFieldsIsRejected()
    {
        const std::vector<unsigned char> bytes = encodeDataFrame(sampleFrame(0));
        for (std::size_t length = 0; length < dataFrameFixedLength; ++length)
            QVERIFY(!decodeDataFrame(bytes.data(), length));
    }

    void statusReplies()
    {
        const unsigned char idle[] = {'I'};
        StatusReply reply = parseStatusReply(idle, 1);
        QCOMPARE(*reply.letter, 'I');
        QVERIFY(!reply.value);

        const unsigned char scanning[] = {'N', 0x34, 0x12, 0x99};
        reply = parseStatusReply(scanning, 3);
        QCOMPARE(*reply.letter, 'N');
        QCOMPARE(*reply.value, std::uint16_t(0x1234));

        reply = parseStatusReply(scanning, 2); // 'N' without both value bytes
        QCOMPARE(*reply.letter, 'N');
        QVERIFY(!reply.value);

        reply = parseStatusReply(scanning, 0);
        QVERIFY(!reply.letter);

        const std::vector<unsigned char> encoded = encodeStatusReply('N', 0xBEEF);
        QCOMPARE(encoded.size(), std::size_t(6));
        reply = parseStatusReply(encoded.data() + 3, encoded.size() - 3);
        QCOMPARE(*reply.value, std::uint16_t(0xBEEF));
        QCOMPARE(encodeStatusReply('B').size(), std::size_t(4));
    }

    void firmwareWordChoosesTheClock_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("clock"); // -1 unchanged, 0 slow, 1 fast
        QTest::newRow("2 and 1: fast") << "Brisvane probe unit 7 V2.1 x" << "V2.1" << 1;
        QTest::newRow("2 and 0: slow") << "Brisvane probe unit 7 V2.0" << "V2.0" << 0;
        QTest::newRow("1 and 9: unchanged") << "Brisvane probe unit 7 V1.9" << "V1.9" << -1;
        QTest::newRow("short word, second char above 1") << "a b c d V2" << "V2" << 0;
        QTest::newRow("one-char word") << "a b c d V" << "V" << -1;
        QTest::newRow("double space makes an empty word") << "a  b c d e" << "d" << -1;
        QTest::newRow("long word is cut to nine") << "a b c d X9Z1234567890123" << "X9Z123456" << 1;
        QTest::newRow("empty fifth word at the end") << "a b c d " << "" << -1;
    }

    void firmwareWordChoosesTheClock()
    {
        QFETCH(QString, text);
        QFETCH(QString, token);
        QFETCH(int, clock);
        const InfoReply reply = info(text.toStdString());
        QCOMPARE(QString::fromStdString(reply.text), text);
        QVERIFY(reply.firmwareToken);
        QCOMPARE(QString::fromStdString(*reply.firmwareToken), token);
        QCOMPARE(reply.fastClock.has_value(), clock >= 0);
        if (clock >= 0)
            QCOMPARE(*reply.fastClock, clock == 1);
    }

    void infoWithFewerThanFiveWordsSetsNoWord()
    {
        const InfoReply reply = info("Brisvane probe unit V2.1");
        QCOMPARE(reply.text, std::string("Brisvane probe unit V2.1"));
        QVERIFY(!reply.firmwareToken);
        QVERIFY(!reply.fastClock);
        QVERIFY(!info("").firmwareToken);
    }

    void infoTextIsCutAtNulAndToItsBuffer()
    {
        const std::string withNul("a b c d V2.1\0hidden e f", 23);
        QCOMPARE(info(withNul).text, std::string("a b c d V2.1"));

        const std::string longLine(300, 'w');
        const std::vector<unsigned char> frame = encodeInfoReply(longLine + "tail that does not fit");
        QCOMPARE(frame.size(), maxFrameLength); // the encoder keeps to the frame limit
        const InfoReply reply = parseInfoReply(frame.data() + 3, frame.size() - 3);
        QCOMPARE(reply.text.size(), infoTextCapacity);
    }
};

QTEST_GUILESS_MAIN(TestDeviceFrames)
#include "test_device_frames.moc"
