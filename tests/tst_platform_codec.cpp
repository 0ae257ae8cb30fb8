#include "codec.h"
#include "recordlist.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

using namespace kv;

// Lone and paired surrogates cannot be held by the code page: each is one "?" and takes
// nothing else with it.
class TestPlatformCodec : public QObject
{
    Q_OBJECT

private slots:
    void surrogatesBecomeOneQuestionMark_data();
    void surrogatesBecomeOneQuestionMark();
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
