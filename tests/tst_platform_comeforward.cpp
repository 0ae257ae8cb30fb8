// The request that brings the running copy forward, without a running copy, with a file
// left at its place, and with what else may arrive on it.
#include "comeforward.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

class TestComeForward : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private slots:
    void requestsReachTheListener();
    void nobodyListening_data();
    void nobodyListening();
    void onlyWholeRequestsCount();
};

void TestComeForward::requestsReachTheListener()
{
    kv::ComeForwardChannel channel;
    QSignalSpy requested(&channel, &kv::ComeForwardChannel::requested);
    QVERIFY(channel.listen(path("a")));
    QVERIFY(kv::ComeForwardChannel::request(path("a")));
    QTRY_COMPARE(requested.size(), 1);
    QVERIFY(kv::ComeForwardChannel::request(path("a")));
    QVERIFY(kv::ComeForwardChannel::request(path("a")));
    QTRY_COMPARE(requested.size(), 3);
    QTest::qWait(50); // the keeper's end is never read as the end of the channel
    QCOMPARE(requested.size(), 3);
}

void TestComeForward::nobodyListening_data()
{
    QTest::addColumn<QByteArray>("leftover"); // "<none>": nothing at the place
    QTest::newRow("nothing there") << QByteArray("<none>");
    QTest::newRow("a file in its place") << QByteArray("not a channel\n");
}

void TestComeForward::nobodyListening()
{
    QFETCH(QByteArray, leftover);
    const QString place = path(QTest::currentDataTag());
    if (leftover != "<none>") {
        QFile f(place);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(leftover);
    }
    QVERIFY(!kv::ComeForwardChannel::request(place));
    if (leftover != "<none>") {
        QFile f(place);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), leftover); // never written to
        // The next holder replaces it.
        kv::ComeForwardChannel channel;
        QSignalSpy requested(&channel, &kv::ComeForwardChannel::requested);
        QVERIFY(channel.listen(place));
        QVERIFY(kv::ComeForwardChannel::request(place));
        QTRY_COMPARE(requested.size(), 1);
    }
    // A channel that ended takes its place with it: later requests reach nobody.
    {
        kv::ComeForwardChannel channel;
        QVERIFY(channel.listen(place));
    }
    QVERIFY(!QFile::exists(place));
    QVERIFY(!kv::ComeForwardChannel::request(place));
}

void TestComeForward::onlyWholeRequestsCount()
{
#ifdef Q_OS_WIN
    QSKIP("a named event carries no text");
#else
    kv::ComeForwardChannel channel;
    QSignalSpy requested(&channel, &kv::ComeForwardChannel::requested);
    QVERIFY(channel.listen(path("b")));
    const int fd = ::open(QFile::encodeName(path("b")).constData(), O_WRONLY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    const QByteArray junk("hello\nactiv");
    QCOMPARE(::write(fd, junk.constData(), size_t(junk.size())), ssize_t(junk.size()));
    QTest::qWait(50);
    QCOMPARE(requested.size(), 0); // a stray line, and half a request so far
    const QByteArray rest("ate\nactivate\n");
    QCOMPARE(::write(fd, rest.constData(), size_t(rest.size())), ssize_t(rest.size()));
    ::close(fd);
    QTRY_COMPARE(requested.size(), 2);
#endif
}

QTEST_GUILESS_MAIN(TestComeForward)
#include "tst_platform_comeforward.moc"
