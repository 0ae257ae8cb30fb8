#include "testsupport.h"

#include "brand.h"
#include "clocktext.h"
#include "errors.h"
#include "hakkinda.h"
#include "ileride.h"

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

class TestInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void pictureDecodes_data();
    void pictureDecodes();

    void uptimeText_data();
    void uptimeText();
    void dateLine_data();
    void dateLine();
    void clockText();

    void aboutText();
    void aboutLayout();
    void plannedText();
    void tamamHidesAndReopensUnchanged();
    void modalWhileShownFails();
    void centredOverParentEachShowing();

private:
    static QStringList lines(const QPlainTextEdit *memo)
    {
        return memo->toPlainText().split(QLatin1Char('\n'));
    }
};

void TestInfo::initTestCase()
{
    // The pictures live in a static library; its resources are not registered by themselves.
    Q_INIT_RESOURCE(kelvora);
}

void TestInfo::pictureDecodes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("banner 1") << ":/banner1.jpg" << QSize(609, 65);
    QTest::newRow("banner 2") << ":/banner2.jpg" << QSize(609, 65);
    QTest::newRow("about") << ":/about.jpg" << QSize(640, 480);
    QTest::newRow("icon 16") << ":/kelvora-16.png" << QSize(16, 16);
    QTest::newRow("icon 32") << ":/kelvora-32.png" << QSize(32, 32);
}

void TestInfo::pictureDecodes()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
}

void TestInfo::uptimeText_data()
{
    QTest::addColumn<quint64>("ms");
    QTest::addColumn<QString>("numbers");
    QTest::newRow("just booted") << quint64(0) << "0 Gün 0 saat 0 dakika 0 saniye ";
    QTest::newRow("one of each") << quint64(90061000) << "1 Gün 1 saat 1 dakika 1 saniye ";
    QTest::newRow("under a minute, part second dropped")
        << quint64(59999) << "0 Gün 0 saat 0 dakika 59 saniye ";
    QTest::newRow("exactly 30 days")
        << quint64(30) * 86400000 << "30 Gün 0 saat 0 dakika 0 saniye ";
    QTest::newRow("past 32-bit wrap")
        << quint64(5000000000) << "57 Gün 20 saat 53 dakika 20 saniye ";
}

void TestInfo::uptimeText()
{
    QFETCH(quint64, ms);
    QFETCH(QString, numbers);
    QCOMPARE(kv::uptimeText(ms), QStringLiteral("Bilgisayarın Toplam Çalıştığı Süre:") + numbers);
}

void TestInfo::dateLine_data()
{
    QTest::addColumn<QString>("now");
    QTest::addColumn<bool>("zoneSet");
    QTest::addColumn<QString>("line");
    QTest::newRow("midnight") << "2026-12-07T00:00:00" << false << " 7 Aralık 2026 Pazartesi ";
    QTest::newRow("last second of today")
        << "2026-12-07T20:59:59" << false << " 7 Aralık 2026 Pazartesi ";
    QTest::newRow("no zone: 21:00 is tomorrow")
        << "2026-12-07T21:00:00" << false << " 8 Aralık 2026 Salı ";
    QTest::newRow("no zone: year turns at 21:00")
        << "2026-12-31T21:00:00" << false << " 1 Ocak 2027 Cuma ";
    QTest::newRow("zone set: 21:00 is today")
        << "2026-12-08T21:00:00" << true << " 8 Aralık 2026 Salı ";
    QTest::newRow("zone set: 23:59:59 is today")
        << "2026-12-31T23:59:59" << true << " 31 Aralık 2026 Perşembe ";
}

void TestInfo::dateLine()
{
    TestEnvironment env;
    QFETCH(QString, now);
    QFETCH(bool, zoneSet);
    QFETCH(QString, line);
    QCOMPARE(kv::dateLineText(QDateTime::fromString(now, Qt::ISODate), zoneSet), line);
}

void TestInfo::clockText()
{
    TestEnvironment env;
    QCOMPARE(kv::clockText(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3))),
             QStringLiteral("09:05:03"));
}

void TestInfo::aboutText()
{
    TForm2 form;
    const QStringList text = lines(form.Memo1());
    QCOMPARE(text.size(), 14);
    QCOMPARE(text.at(0),
             QStringLiteral("Bu program ") + kv::brand::customer() + QStringLiteral(" için "));
    QCOMPARE(text.at(1), QStringLiteral("özel "));
    QCOMPARE(text.at(2), QStringLiteral("yazılmış olup üzerinde  hak iddia "));
    QCOMPARE(text.at(3), QStringLiteral("edilmesi birşey ifade etmez."));
    QCOMPARE(text.at(4), QString());
    QCOMPARE(text.at(5), kv::brand::author());
    QCOMPARE(text.at(7), kv::brand::webAddress());
    QCOMPARE(text.at(9), QString(28, QLatin1Char('-')));
    QCOMPARE(text.at(11), QStringLiteral("Ana menü sağ alt taraftaki zaman bilgisi "));
    QCOMPARE(text.at(12), QStringLiteral("bilgisayarın nekadar süredir açık olduğunu "));
    QCOMPARE(text.at(13), QStringLiteral("bildirir!"));
    QVERIFY(form.Memo1()->isReadOnly());
    QCOMPARE(form.windowTitle(), QStringLiteral("Hakkında"));
}

void TestInfo::aboutLayout()
{
    TForm2 form;
    QCOMPARE(form.minimumSize(), QSize(302, 458));
    QCOMPARE(form.maximumSize(), QSize(302, 458));
    QCOMPARE(form.Label1()->text(), kv::brand::product());
    QCOMPARE(form.Label2()->text(), kv::brand::version());
    // The pictures named in the description must exist among the resources.
    QVERIFY(!form.Image1()->pixmap().isNull());
    QCOMPARE(form.Image2()->pixmap().size(), QSize(640, 480));
    QCOMPARE(form.Image2()->size(), QSize(289, 209));
    QVERIFY(form.Image2()->hasScaledContents());
    QCOMPARE(form.Memo1()->size(), QSize(289, 137));
    QCOMPARE(form.SpeedButton1()->size(), QSize(81, 33));
    QCOMPARE(form.SpeedButton1()->text(), QStringLiteral("Tamam"));
}

void TestInfo::plannedText()
{
    TForm4 form;
    const QStringList text = lines(form.Memo1());
    QCOMPARE(text.size(), 17);
    QCOMPARE(text.at(0), QStringLiteral("Masalara ayrı bir client programı ve program "));
    QCOMPARE(text.at(1), QStringLiteral("üzerinden istekler olcak."));
    QCOMPARE(text.at(5), QStringLiteral("--Ücret bilgilerini sorabilirler ve ana program bu "));
    QCOMPARE(text.at(10), QStringLiteral("(ör:içecek yiyecek vb)"));
    QCOMPARE(text.at(11), QString());
    QCOMPARE(text.at(12), QString());
    QCOMPARE(text.at(15), QStringLiteral("tasarlanacak!Ekranın sağ alt köşesinde müşteriye "));
    QCOMPARE(text.at(16), QStringLiteral("bilgiyi gönderecektir!!"));
    QCOMPARE(form.windowTitle(), QStringLiteral("İleriki Sürümde Olacaklar"));
    QCOMPARE(form.minimumSize(), QSize(297, 312));
    QCOMPARE(form.maximumSize(), QSize(297, 312));
    QCOMPARE(form.SpeedButton1()->size(), QSize(97, 25));

    // Without scroll bars a wrapped line could push the last one out of sight.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (QTextBlock block = form.Memo1()->document()->begin(); block.isValid();
         block = block.next())
        QVERIFY2(block.layout()->lineCount() <= 1, qPrintable(block.text()));
}

void TestInfo::tamamHidesAndReopensUnchanged()
{
    TForm2 about;
    TForm4 planned;
    const QString aboutText = about.Memo1()->toPlainText();
    const QString plannedText = planned.Memo1()->toPlainText();

    // Modal: "Tamam" ends the wait and hides the window, twice in a row.
    for (int round = 0; round < 2; ++round) {
        QTimer::singleShot(0, &about,
                           [&] { QTest::mouseClick(about.SpeedButton1(), Qt::LeftButton); });
        about.showModalChecked();
        QVERIFY(!about.isVisible());
        QCOMPARE(about.Memo1()->toPlainText(), aboutText);

        QTimer::singleShot(0, &planned,
                           [&] { QTest::mouseClick(planned.SpeedButton1(), Qt::LeftButton); });
        planned.exec();
        QVERIFY(!planned.isVisible());
        QCOMPARE(planned.Memo1()->toPlainText(), plannedText);
    }

    // Modeless: the same button hides it.
    about.showModeless();
    QVERIFY(about.isVisible());
    QTest::mouseClick(about.SpeedButton1(), Qt::LeftButton);
    QVERIFY(!about.isVisible());
}

void TestInfo::modalWhileShownFails()
{
    TForm2 about;
    about.showModeless();
    QString text;
    try {
        about.showModalChecked();
    } catch (const kv::RuntimeError &e) {
        text = e.text();
    }
    QCOMPARE(text, QStringLiteral("Cannot make a visible window modal"));
    QVERIFY(about.isVisible());
    QVERIFY(!about.isModal());
}

void TestInfo::centredOverParentEachShowing()
{
    QWidget main;
    main.setGeometry(100, 80, 800, 600);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    TForm4 planned(&main);
    const auto offCentre = [&] {
        return (planned.frameGeometry().center() - main.frameGeometry().center()).manhattanLength();
    };
    planned.show();
    QVERIFY2(offCentre() <= 4, qPrintable(QString::number(offCentre())));
    planned.move(planned.pos() + QPoint(150, 90));
    planned.close();
    planned.show();
    QVERIFY2(offCentre() <= 4, qPrintable(QString::number(offCentre())));
}

QTEST_MAIN(TestInfo)
#include "tst_info.moc"
