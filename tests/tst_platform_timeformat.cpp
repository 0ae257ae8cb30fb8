// The zone field taken out of a time format, for every locale Qt knows, against the regular
// expression that did it before: "\s*\(?t+\)?\s*".
#include "applocale.h"

#include <QRegularExpression>
#include <QTest>

class TestTimeFormat : public QObject
{
    Q_OBJECT

private slots:
    void zoneFieldRemoved_data();
    void zoneFieldRemoved();
    void everyLocale();
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
    }
    kv::resetAppLocale();
}

QTEST_GUILESS_MAIN(TestTimeFormat)
#include "tst_platform_timeformat.moc"
