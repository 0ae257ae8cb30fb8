// The zone field taken out of a time format, for every locale Qt knows, against the regular
// expression that did it before: "\s*\(?t+\)?\s*"; times written as each locale writes them;
// and the zone named once at start.
#include "applocale.h"
#include "clock.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTimeZone>
#include <ctime>

class TestTimeFormat : public QObject
{
    Q_OBJECT

private slots:
    void zoneFieldRemoved_data();
    void zoneFieldRemoved();
    void everyLocale();
    void zoneReadOnce_data();
    void zoneReadOnce();
};

namespace {
QString byExpression(QString format)
{
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?\\s*"));
    return format.replace(zone, QString());
}
} // namespace

void TestTimeFormat::zoneFieldRemoved_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Turkish") << "HH:mm:ss t"
                             << "HH:mm:ss";
    QTest::newRow("in brackets") << "HH:mm:ss (tttt)"
                                 << "HH:mm:ss";
    QTest::newRow("before the time") << "t HH:mm"
                                     << "HH:mm";
    QTest::newRow("open bracket only") << "h:mm (t ap"
                                       << "h:mmap";
    QTest::newRow("bracket without zone") << "h:mm (ap)"
                                          << "h:mm (ap)";
    QTest::newRow("tabs and line ends") << "HH\t\n t\r\vmm"
                                        << "HHmm";
    QTest::newRow("no-break space stays") << QString::fromUtf16(u"h:mm\u00a0t") << "h:mm\u00a0";
    QTest::newRow("nothing to remove") << "HH:mm:ss"
                                       << "HH:mm:ss";
    QTest::newRow("only the zone") << " tt "
                                   << "";
}

void TestTimeFormat::zoneFieldRemoved()
{
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(kv::withoutZoneField(format), byExpression(format));
    QCOMPARE(kv::withoutZoneField(format), expected);
}

void TestTimeFormat::everyLocale()
{
    const QList<QLocale> all =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QVERIFY(all.size() > 100);
    for (const QLocale &locale : all) {
        for (const auto kind : {QLocale::LongFormat, QLocale::ShortFormat}) {
            const QString format = locale.timeFormat(kind);
            QCOMPARE(kv::withoutZoneField(format), byExpression(format));
        }
        kv::setAppLocale(locale);
        QCOMPARE(kv::longTimeFormat(),
                 byExpression(locale.timeFormat(QLocale::LongFormat)).trimmed());
        // Written by hand where the format allows it: as the locale writes it.
        for (const QTime &time : {QTime(0, 0, 0), QTime(9, 5, 7), QTime(23, 59, 59), QTime()})
            QCOMPARE(kv::longTime(time), locale.toString(time, kv::longTimeFormat()));
    }
    kv::resetAppLocale();
}

void TestTimeFormat::zoneReadOnce_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArray>("tz");
    QTest::addColumn<QByteArray>("after"); // on Linux
    QTest::newRow("none") << false << QByteArray() << QByteArray(":/etc/localtime");
    QTest::newRow("a zone") << true << QByteArray("Europe/Istanbul")
                            << QByteArray("Europe/Istanbul");
    QTest::newRow("empty: UTC") << true << QByteArray() << QByteArray();
}

void TestTimeFormat::zoneReadOnce()
{
    // The zone is named, never changed: the same zone, and the same moment for a local time,
    // summer and winter.
    QFETCH(bool, set);
    QFETCH(QByteArray, tz);
    QFETCH(QByteArray, after);
    const bool wasSet = qEnvironmentVariableIsSet("TZ");
    const QByteArray saved = qgetenv("TZ");
    const auto restore = qScopeGuard([&] {
        if (wasSet)
            qputenv("TZ", saved);
        else
            qunsetenv("TZ");
        tzset();
    });
    if (set)
        qputenv("TZ", tz);
    else
        qunsetenv("TZ");
    tzset();
    const auto moments = [] {
        return QList<qint64>{QDateTime(QDate(2026, 7, 1), QTime(12, 0)).toMSecsSinceEpoch(),
                             QDateTime(QDate(2026, 12, 8), QTime(21, 30)).toMSecsSinceEpoch()};
    };
    const QList<qint64> before = moments();
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    kv::clock::readTimeZoneOnce();
    tzset();
#ifdef Q_OS_LINUX
    QCOMPARE(qgetenv("TZ"), after);
#else
    Q_UNUSED(after);
#endif
    QCOMPARE(QTimeZone::systemTimeZoneId(), zone);
    QCOMPARE(moments(), before);
}

QTEST_GUILESS_MAIN(TestTimeFormat)
#include "tst_platform_timeformat.moc"
