// An account's time cut into segments at band edges, fee changes, pauses and corrections,
// with worked examples as a hall prices them.
#include "segments.h"

#include <QTest>

using namespace kv::counter;

namespace {
// "1-5 10:00-17:00 120; 5,6 20:00-03:00 200": weekdays, from-to, fee.
QList<RateBand> bandsOf(const QString &text)
{
    QList<RateBand> out;
    for (const QString &part : text.split(';', Qt::SkipEmptyParts)) {
        const QStringList f = part.trimmed().split(' ');
        RateBand b;
        for (const QString &days : f[0].split(',', Qt::SkipEmptyParts)) {
            if (days == "-")
                continue; // no day
            const QStringList range = days.split('-');
            for (int d = range.first().toInt(); d <= range.last().toInt(); ++d)
                b.days |= quint8(1 << (d - 1));
        }
        const QStringList times = f[1].split('-');
        b.from = QTime::fromString(times[0], "HH:mm");
        b.to = QTime::fromString(times[1], "HH:mm");
        b.fee = f[2].toLongLong();
        out << b;
    }
    return out;
}

// "pause 40; resume 70; fee 60 200; correct 60 -10": minutes from the start.
QList<TimeChange> changesOf(const QString &text)
{
    using Kind = TimeChange::Kind;
    QList<TimeChange> out;
    for (const QString &part : text.split(';', Qt::SkipEmptyParts)) {
        const QStringList f = part.trimmed().split(' ');
        TimeChange c;
        c.atMs = f[1].toLongLong() * 60000;
        c.kind = f[0] == "pause"    ? Kind::Pause
                 : f[0] == "resume" ? Kind::Resume
                 : f[0] == "fee"    ? Kind::Fee
                                    : Kind::Correction;
        if (c.kind == Kind::Fee)
            c.fee = f[2].toLongLong();
        if (c.kind == Kind::Correction) {
            c.minutes = f[2].toLongLong();
            c.reason = "düzeltme";
        }
        out << c;
    }
    return out;
}

// As the bill shows them: "16:30-17:00 30 120 60", "P 16:40-17:10 30", "C 17:00 -10 120 -20".
QStringList shown(const QDateTime &start, const QList<Segment> &segments)
{
    QStringList out;
    const auto at = [&](qint64 ms) { return start.addMSecs(ms).toString("HH:mm"); };
    for (const Segment &s : segments) {
        const QString span = at(s.fromMs) + '-' + at(s.toMs);
        if (s.kind == Segment::Kind::Pause)
            out << QStringLiteral("P %1 %2").arg(span).arg(s.minutes);
        else if (s.kind == Segment::Kind::Correction)
            out << QStringLiteral("C %1 %2 %3 %4")
                       .arg(at(s.fromMs))
                       .arg(s.minutes)
                       .arg(s.fee)
                       .arg(s.charge);
        else
            out << QStringLiteral("%1 %2 %3 %4").arg(span).arg(s.minutes).arg(s.fee).arg(s.charge);
    }
    return out;
}
} // namespace

class TestSegments : public QObject
{
    Q_OBJECT

private slots:
    void oneSegmentIsTheSingleFeeRule_data();
    void oneSegmentIsTheSingleFeeRule();
    void workedExamples_data();
    void workedExamples();
    void bandsSaved_data();
    void bandsSaved();
};

void TestSegments::oneSegmentIsTheSingleFeeRule_data()
{
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<qint64>("fee");
    QTest::newRow("nothing yet") << qint64(0) << qint64(120);
    QTest::newRow("59.9 seconds") << qint64(59900) << qint64(120);
    QTest::newRow("90 minutes") << qint64(90 * 60000 + 59000) << qint64(120);
    QTest::newRow("a day and more") << qint64(26 * 3600000) << qint64(1000000000);
    QTest::newRow("a clock set back") << qint64(-90000) << qint64(120);
}

void TestSegments::oneSegmentIsTheSingleFeeRule()
{
    QFETCH(qint64, elapsedMs);
    QFETCH(qint64, fee);
    const MinimumCharge minimum{true, 30};
    const QList<Segment> segments =
        segmentsOf(QDateTime(QDate(2026, 12, 7), QTime(20, 0)), elapsedMs, {fee, {}}, {});
    QVERIFY(segments.size() <= 1);
    QCOMPARE(billOf(segments, fee, minimum, 15), bill(wholeMinutes(elapsedMs), fee, minimum, 15));
}

void TestSegments::workedExamples_data()
{
    QTest::addColumn<QString>("start"); // 7.12.2026 is a Monday, 11.12 a Friday
    QTest::addColumn<int>("minutes");
    QTest::addColumn<QString>("bands"); // the kind's fee is 150
    QTest::addColumn<QString>("changes");
    QTest::addColumn<QStringList>("segments");
    QTest::addColumn<qint64>("timeCharge"); // the minimum charge is 50

    const QString weekdays = "1-5 10:00-17:00 120";
    const QString nights = "5,6 20:00-03:00 200";
    QTest::newRow("across a band's end")
        << "2026-12-07T16:30:00" << 60 << weekdays << ""
        << QStringList{"16:30-17:00 30 120 60", "17:00-17:30 30 150 75"} << qint64(135);
    QTest::newRow("Friday night into Saturday")
        << "2026-12-11T19:00:00" << 9 * 60 << nights << ""
        << QStringList{"19:00-20:00 60 150 150", "20:00-03:00 420 200 1400",
                       "03:00-04:00 60 150 150"}
        << qint64(1700);
    QTest::newRow("after midnight: the night of the business day before")
        << "2026-12-12T02:00:00" << 120 << nights << ""
        << QStringList{"02:00-03:00 60 200 200", "03:00-04:00 60 150 150"} << qint64(350);
    QTest::newRow("a band after midnight")
        << "2026-12-08T00:30:00" << 60 << "1-7 01:00-05:00 80"
        << "" << QStringList{"00:30-01:00 30 150 75", "01:00-01:30 30 80 40"} << qint64(115);
    QTest::newRow("a pause across a band's end")
        << "2026-12-07T16:00:00" << 90 << weekdays << "pause 40; resume 70"
        << QStringList{"16:00-16:40 40 120 80", "P 16:40-17:10 30", "17:10-17:30 20 150 50"}
        << qint64(130);
    QTest::newRow("ten minutes taken off")
        << "2026-12-07T20:00:00" << 90 << ""
        << "correct 60 -10"
        << QStringList{"20:00-21:00 60 150 150", "C 21:00 -10 150 -25", "21:00-21:30 30 150 75"}
        << qint64(200);
    QTest::newRow("a fee from now on")
        << "2026-12-07T16:00:00" << 90 << weekdays << "fee 60 200"
        << QStringList{"16:00-17:00 60 120 120", "17:00-17:30 30 200 100"} << qint64(220);
    QTest::newRow("the minimum on the sum")
        << "2026-12-07T16:50:00" << 15 << weekdays << ""
        << QStringList{"16:50-17:00 10 120 20", "17:00-17:05 5 150 12"} << qint64(50);
    QTest::newRow("seconds across an edge")
        << "2026-12-07T16:59:30" << 1 << weekdays << ""
        << QStringList{"16:59-17:00 0 120 0", "17:00-17:00 1 150 2"} << qint64(50);
    QTest::newRow("over two business days")
        << "2026-12-07T20:00:00" << 26 * 60 << weekdays << ""
        << QStringList{"20:00-10:00 840 150 2100", "10:00-17:00 420 120 840",
                       "17:00-22:00 300 150 750"}
        << qint64(3690);
}

void TestSegments::workedExamples()
{
    QFETCH(QString, start);
    QFETCH(int, minutes);
    QFETCH(QString, bands);
    QFETCH(QString, changes);
    QFETCH(QStringList, segments);
    QFETCH(qint64, timeCharge);
    const QDateTime from = QDateTime::fromString(start, Qt::ISODate);
    // Seconds past the start: a minute is whole only when it has passed.
    const qint64 elapsed = qint64(minutes) * 60000 + (from.time().second() ? 0 : 30000);
    const QList<Segment> cut = segmentsOf(from, elapsed, {150, bandsOf(bands)}, changesOf(changes));
    QCOMPARE(shown(from, cut), segments);
    const Bill b = billOf(cut, 150, {true, 50}, 0);
    QCOMPARE(b.timeCharge, timeCharge);
}

void TestSegments::bandsSaved_data()
{
    QTest::addColumn<QString>("bands");
    QTest::addColumn<QString>("problem");
    QTest::newRow("weekday afternoons, weekend nights")
        << "1-5 10:00-17:00 120; 5,6 20:00-03:00 200"
        << "";
    QTest::newRow("until the day's end") << "1 22:00-06:00 100"
                                         << "";
    QTest::newRow("one after the other") << "1-5 10:00-17:00 120; 1-5 17:00-20:00 130"
                                         << "";
    QTest::newRow("the same hours on other days") << "1,2 10:00-12:00 1; 3 10:00-12:00 2"
                                                  << "";
    QTest::newRow("no day") << "- 10:00-17:00 120"
                            << " 10:00–17:00: en az bir gün seçin.";
    QTest::newRow("across 06:00")
        << "1,2,3,5 03:00-08:00 100"
        << "Pzt–Çar, Cum 03:00–08:00: bir zaman dilimi gece yarısını geçebilir, 06:00'ı geçemez.";
    QTest::newRow("overlapping on Friday")
        << "1-5 16:00-21:00 120; 5,6 20:00-03:00 200"
        << "Zaman dilimleri çakışıyor: Pzt–Cum 16:00–21:00 ve Cum, Cmt 20:00–03:00";
    QTest::newRow("overlapping after midnight")
        << "7 20:00-03:00 200; 7 01:00-05:00 80"
        << "Zaman dilimleri çakışıyor: Paz 20:00–03:00 ve Paz 01:00–05:00";
}

void TestSegments::bandsSaved()
{
    QFETCH(QString, bands);
    QFETCH(QString, problem);
    QCOMPARE(bandsProblem(bandsOf(bands)), problem);
}

QTEST_GUILESS_MAIN(TestSegments)
#include "tst_hall_segments.moc"
