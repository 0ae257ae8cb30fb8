#include "codec.h"
#include "recordlist.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

using namespace kv;

namespace {
// The upper half of Windows-1254, written out eight bytes a row: the bytes the code page
// leaves undefined are the C1 controls of the same number, so every byte survives a round trip.
// clang-format off
constexpr char16_t kUpperHalf[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x008E, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178,
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
    0x011E, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0130, 0x015E, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
    0x011F, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0131, 0x015F, 0x00FF,
};
// clang-format on
} // namespace

// Lone and paired surrogates cannot be held by the code page: each is one "?" and takes
// nothing else with it.
class TestPlatformCodec : public QObject
{
    Q_OBJECT

private slots:
    void surrogatesBecomeOneQuestionMark_data();
    void surrogatesBecomeOneQuestionMark();
    void upperHalfAsTheCodePageHasIt_data();
    void upperHalfAsTheCodePageHasIt();
    void sameAsTheSystemConverter();
};

void TestPlatformCodec::surrogatesBecomeOneQuestionMark_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    const auto s = [](std::initializer_list<char16_t> units) {
        QString t;
        for (char16_t u : units)
            t += QChar(u);
        return t;
    };
    QTest::newRow("lone high before a letter") << s({0xD83D, 'c'}) << QByteArray("?c");
    QTest::newRow("lone high at the end") << s({'x', 0xD83D}) << QByteArray("x?");
    QTest::newRow("lone low") << s({0xDE00, 'y'}) << QByteArray("?y");
    QTest::newRow("two lone highs") << s({0xD83D, 0xD83D, 'z'}) << QByteArray("??z");
    QTest::newRow("pair") << s({'a', 0xD83D, 0xDE00, 0xC7}) << QByteArray("a?\xC7");
}

void TestPlatformCodec::surrogatesBecomeOneQuestionMark()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encode1254(text), bytes);
    // In a file the line end after it must survive too.
    QCOMPARE(RecordList::toBytes({text, QStringLiteral("n")}), bytes + "\r\nn\r\n");
}

// Needs no system converter, so it also runs where Qt has none.
void TestPlatformCodec::upperHalfAsTheCodePageHasIt_data()
{
    QTest::addColumn<QByteArray>("byte");
    QTest::addColumn<QString>("character");
    for (int b = 0x80; b <= 0xFF; ++b)
        QTest::addRow("%02X", b) << QByteArray(1, char(b)) << QString(QChar(kUpperHalf[b - 0x80]));
}

void TestPlatformCodec::upperHalfAsTheCodePageHasIt()
{
    QFETCH(QByteArray, byte);
    QFETCH(QString, character);
    QCOMPARE(decode1254(byte), character);
    QCOMPARE(encode1254(character), byte);
}

// The code page is a table of the program's own; the system's converter (ICU, where Qt has
// it) must agree on every byte and every character of the Basic Multilingual Plane.
void TestPlatformCodec::sameAsTheSystemConverter()
{
    QStringDecoder decoder("windows-1254");
    QStringEncoder encoder("windows-1254");
    if (!decoder.isValid() || !encoder.isValid())
        QSKIP("no system converter for Windows-1254 to compare with");
    QByteArray all(256, '\0');
    for (int b = 0; b < 256; ++b)
        all[b] = char(b);
    const QString decoded = decode1254(all);
    QCOMPARE(decoded, decoder.decode(all));
    QCOMPARE(encode1254(decoded), all);
    int encodable = 0;
    for (char32_t u = 0; u < 0x10000; ++u) {
        const QString one = QString(QChar(char16_t(u)));
        if (QChar::isSurrogate(u)) {
            QCOMPARE(encode1254(one), QByteArray("?"));
            QVERIFY(!canEncode1254(one));
            continue;
        }
        QStringEncoder fresh("windows-1254"); // an error stays with an encoder
        const QByteArray theirs = fresh.encode(QStringView(one));
        const bool held = !fresh.hasError() && theirs.size() == 1;
        encodable += held;
        QCOMPARE(canEncode1254(one), held);
        QCOMPARE(encode1254(one), held ? theirs : QByteArray("?"));
    }
    QCOMPARE(encodable, 256);
}

QTEST_GUILESS_MAIN(TestPlatformCodec)
#include "tst_platform_codec.moc"
