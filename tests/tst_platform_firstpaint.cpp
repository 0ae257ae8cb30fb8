// The first-paint report that start-up measurements read, and the sync probe.
#include "firstpaint.h"
#include "fsys.h"

#include <QFile>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

namespace {
const char *const kVariable = "KELVORA_REPORT_PAINT";

// A child that notes when it was last painted.
class Child : public QWidget
{
public:
    using QWidget::QWidget;
    qint64 paintedAt = 0;

protected:
    void paintEvent(QPaintEvent *) override { paintedAt = kv::monotonicNs(); }
};

QStringList linesOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
} // namespace

class TestFirstPaint : public QObject
{
    Q_OBJECT

private slots:
    void reportsOnceAfterTheWholeFrame();
    void silentWithoutTheVariable();
    void syncNeedsAnExistingFile();
    void directorySync();

private:
    QTemporaryDir m_dir;
};

void TestFirstPaint::reportsOnceAfterTheWholeFrame()
{
    const QString path = m_dir.filePath(QStringLiteral("paint"));
    qputenv(kVariable, QFile::encodeName(path));
    QWidget window;
    auto *child = new Child(&window);
    (new QVBoxLayout(&window))->addWidget(child);
    window.resize(200, 100);
    kv::reportFirstPaint(&window);
    const qint64 before = kv::monotonicNs();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(linesOf(path).size(), 1);
    const qint64 reported = linesOf(path).at(0).toLongLong();
    QVERIFY(reported > before);
    QVERIFY(reported <= kv::monotonicNs());
    QVERIFY(child->paintedAt > 0);
    QVERIFY(child->paintedAt <= reported);

    // Later frames add nothing.
    window.update();
    child->paintedAt = 0;
    QTRY_VERIFY(child->paintedAt > 0);
    QCoreApplication::processEvents();
    QCOMPARE(linesOf(path).size(), 1);
    qunsetenv(kVariable);
}

void TestFirstPaint::silentWithoutTheVariable()
{
    qunsetenv(kVariable);
    QWidget window;
    auto *child = new Child(&window);
    (new QVBoxLayout(&window))->addWidget(child);
    window.resize(200, 100);
    const auto children = window.findChildren<QObject *>();
    kv::reportFirstPaint(&window);
    QCOMPARE(window.findChildren<QObject *>(), children); // nothing installed
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(child->paintedAt > 0);
    QCoreApplication::processEvents();
    QCOMPARE(window.findChildren<QObject *>(), children);
}

void TestFirstPaint::syncNeedsAnExistingFile()
{
    const QString path = m_dir.filePath(QStringLiteral("synced"));
    QVERIFY(!kv::fsys::syncPath(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x\r\n");
    f.close();
    QVERIFY(kv::fsys::syncPath(path));
}

void TestFirstPaint::directorySync()
{
    QVERIFY(kv::fsys::syncDirectory(m_dir.path()));
    QVERIFY(!kv::fsys::syncDirectory(m_dir.filePath(QStringLiteral("missing"))));
#ifdef Q_OS_LINUX
    // /proc answers a directory sync with EINVAL, as some network mounts do: not a failure.
    QVERIFY(kv::fsys::syncDirectory(QStringLiteral("/proc")));
#endif
}

QTEST_MAIN(TestFirstPaint)
#include "tst_platform_firstpaint.moc"
