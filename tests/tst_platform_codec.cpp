#include "codec.h"
#include "recordlist.h"

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

QTEST_GUILESS_MAIN(TestPlatformCodec)
#include "tst_platform_codec.moc"
