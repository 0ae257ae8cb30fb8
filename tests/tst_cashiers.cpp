// Cashiers, their PINs, the lock after wrong PINs, the recovery code and what each role may
// do, on a ledger of their own: no windows.
#include "testsupport.h"

#include "cashiers.h"
#include "ledger.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace kv;
using namespace kv::ledger;

namespace {
struct Event
{
    QString kind;
    QByteArray detail;
};

// A ledger in the test's data directory with a cashier core that keeps its events.
struct Hall
{
    TestEnvironment env;
    QString path = env.dataDir() + QStringLiteral("/Defter.db");
    std::unique_ptr<Ledger> ledger;
    std::unique_ptr<Cashiers> cashiers;
    QList<Event> events;
    bool refuseEvents = false;

    Hall()
    {
        QDir().mkpath(env.dataDir());
        reopen();
    }
    // A new start of the program on the same ledger.
    void reopen()
    {
        cashiers.reset();
        ledger.reset();
        ledger = std::make_unique<Ledger>();
        ledger->open(path);
        QVERIFY2(ledger->readable(), qPrintable(ledger->problem()));
        cashiers =
            std::make_unique<Cashiers>(*ledger, [this](const QString &k, const QByteArray &d) {
                if (refuseEvents)
                    throwError(QStringLiteral("olay yazılamadı"));
                events.append({k, d});
            });
    }
    QString error(const std::function<void()> &step)
    {
        try {
            step();
        } catch (const RuntimeError &e) {
            return e.text();
        }
        return QString();
    }
    QStringList kinds() const
    {
        QStringList out;
        for (const Event &e : events)
            out << e.kind;
        return out;
    }
};

const QString kKasiyer = QStringLiteral("Kasiyer");
const QString kYonetici = QStringLiteral("Yönetici");
} // namespace

class TestCashiers : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void lastManagerStays_data();
    void lastManagerStays();
    void changesAreEventsInTheirTransaction_data();
    void changesAreEventsInTheirTransaction();
    void wrongPinsLockThePrompt();
    void noPinInTheFile();
    void recoveryCodeWorksOnce();
    void promptGoesOnWhileTheLedgerIsOnlyRead();
    void permissions_data();
    void permissions();
};

void TestCashiers::refusals_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("refusal"); // empty: added

    const QString pinRule = QStringLiteral("PIN 4 ile 6 arası rakamdan oluşmalı.");
    QTest::newRow("3 digits") << "Ali"
                              << "123" << kKasiyer << pinRule;
    QTest::newRow("7 digits") << "Ali"
                              << "1234567" << kKasiyer << pinRule;
    QTest::newRow("letters") << "Ali"
                             << "12a4" << kKasiyer << pinRule;
    QTest::newRow("blank inside") << "Ali"
                                  << "12 34" << kKasiyer << pinRule;
    QTest::newRow("other script's digits") << "Ali"
                                           << "١٢٣٤" << kKasiyer << pinRule;
    QTest::newRow("4 digits") << "Ali"
                              << "0000" << kKasiyer << "";
    QTest::newRow("6 digits") << "Ali"
                              << "123456" << kYonetici << "";
    QTest::newRow("PIN of another cashier")
        << "Ali"
        << "9999" << kKasiyer << "Bu PIN başka bir kasiyerde kullanılıyor; başka bir PIN seçin.";
    QTest::newRow("empty name") << "   "
                                << "1234" << kKasiyer << "Kasiyerin adını yazın.";
    QTest::newRow("line break in name")
        << "Ali\nVeli"
        << "1234" << kKasiyer << "Kasiyer adında satır sonu ya da denetim karakteri olamaz.";
    QTest::newRow("same name, other case")
        << " AYŞE "
        << "1234" << kKasiyer << "\"Ayşe\" adında bir kasiyer zaten var.";
    QTest::newRow("undotted capital I") << "ILKER"
                                        << "1234" << kKasiyer << "";
    QTest::newRow("unknown role") << "Ali"
                                  << "1234"
                                  << "Patron"
                                  << "Rol \"Patron\" tanınmıyor: Kasiyer ya da Yönetici olmalı.";
}

void TestCashiers::refusals()
{
    QFETCH(QString, name);
    QFETCH(QString, pin);
    QFETCH(QString, role);
    QFETCH(QString, refusal);

    Hall hall;
    hall.cashiers->add(QStringLiteral("Ayşe"), QStringLiteral("9999"), kYonetici);
    hall.cashiers->add(QStringLiteral("İlker"), QStringLiteral("8888"), kKasiyer);
    QCOMPARE(hall.error([&] { hall.cashiers->add(name, pin, role); }), refusal);
    QCOMPARE(hall.cashiers->list().size(), refusal.isEmpty() ? 3 : 2);
    if (refusal.isEmpty()) {
        QCOMPARE(hall.cashiers->list().last(), (Cashier{name.trimmed(), role}));
        // Turkish case: "ILKER" is not "İlker", "İLKER" is.
        QVERIFY(!hall.error([&] {
                         hall.cashiers->add(QStringLiteral("İLKER"), QStringLiteral("7777"), role);
                     })
                     .isEmpty());
        // The PIN rules hold for a changed PIN as for a new one.
        QCOMPARE(hall.error([&] { hall.cashiers->setPin(name, QStringLiteral("12345x")); }),
                 QStringLiteral("PIN 4 ile 6 arası rakamdan oluşmalı."));
        QCOMPARE(hall.error([&] { hall.cashiers->setPin(name, QStringLiteral("8888")); }),
                 QStringLiteral("Bu PIN başka bir kasiyerde kullanılıyor; başka bir PIN seçin."));
        QCOMPARE(hall.cashiers->login(pin), (Cashier{name.trimmed(), role}));
    }
}

void TestCashiers::lastManagerStays_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<bool>("twoManagers");
    QTest::addColumn<QString>("refusal");

    const QString removing =
        QStringLiteral("Son Yönetici silinemez: önce başka bir Yönetici ekleyin.");
    const QString demoting =
        QStringLiteral("Son Yönetici Kasiyer yapılamaz: önce başka bir Yönetici ekleyin.");
    QTest::newRow("remove the only one") << "remove" << false << removing;
    QTest::newRow("demote the only one") << "demote" << false << demoting;
    QTest::newRow("remove one of two") << "remove" << true << "";
    QTest::newRow("demote one of two") << "demote" << true << "";
    QTest::newRow("first cashier a Kasiyer")
        << "first kasiyer" << false << "İlk kasiyer Yönetici olmalı: kasiyerleri o yönetir.";
}

void TestCashiers::lastManagerStays()
{
    QFETCH(QString, step);
    QFETCH(bool, twoManagers);
    QFETCH(QString, refusal);

    Hall hall;
    if (step == QLatin1String("first kasiyer")) {
        QCOMPARE(hall.error([&] { hall.cashiers->add("Ali", "1234", kKasiyer); }), refusal);
        QVERIFY(!hall.cashiers->any());
        return;
    }
    hall.cashiers->add("Ayşe", "9999", kYonetici);
    hall.cashiers->add("Ali", "1234", kKasiyer);
    if (twoManagers)
        hall.cashiers->setRole("Ali", kYonetici);
    const QList<Cashier> before = hall.cashiers->list();
    const qsizetype events = hall.events.size();
    QCOMPARE(hall.error([&] {
        if (step == QLatin1String("remove"))
            hall.cashiers->remove("Ayşe");
        else
            hall.cashiers->setRole("Ayşe", kKasiyer);
    }),
             refusal);
    if (!refusal.isEmpty()) {
        QCOMPARE(hall.cashiers->list(), before);
        QCOMPARE(hall.events.size(), events);
    }
    // Whatever was allowed, someone can still administer.
    int managers = 0;
    for (const Cashier &c : hall.cashiers->list())
        managers += c.role == kYonetici;
    QVERIFY(managers >= 1);
}

void TestCashiers::changesAreEventsInTheirTransaction_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("detail");

    QTest::newRow("add") << "add"
                         << "cashier"
                         << QByteArray(R"({"action":"add","name":"Ali","role":"Kasiyer"})");
    QTest::newRow("pin") << "pin"
                         << "cashier"
                         << QByteArray(R"({"action":"pin","name":"Ayşe","role":"Yönetici"})");
    QTest::newRow("role") << "role"
                          << "cashier"
                          << QByteArray(R"({"action":"role","name":"Bora","role":"Yönetici"})");
    QTest::newRow("remove") << "remove"
                            << "cashier"
                            << QByteArray(R"({"action":"remove","name":"Bora","role":"Kasiyer"})");
    QTest::newRow("permission")
        << "permission"
        << "settings"
        << QByteArray(R"({"changed":{"permissions.clear":{"new":"Kasiyer","old":"Yönetici"}}})");
    QTest::newRow("login") << "login"
                           << "login" << QByteArray(R"({"name":"Bora"})");
}

void TestCashiers::changesAreEventsInTheirTransaction()
{
    QFETCH(QString, step);
    QFETCH(QString, kind);
    QFETCH(QByteArray, detail);

    Hall hall;
    hall.cashiers->add("Ayşe", "9999", kYonetici);
    hall.cashiers->add("Bora", "5555", kKasiyer);
    const auto run = [&] {
        if (step == QLatin1String("add"))
            hall.cashiers->add("Ali", "1234", kKasiyer);
        else if (step == QLatin1String("pin"))
            hall.cashiers->setPin("Ayşe", "4321");
        else if (step == QLatin1String("role"))
            hall.cashiers->setRole("Bora", kYonetici);
        else if (step == QLatin1String("remove"))
            hall.cashiers->remove("Bora");
        else if (step == QLatin1String("permission"))
            hall.cashiers->setActionRole("clear", kKasiyer);
        else
            hall.cashiers->login("5555");
    };

    // An event that cannot be written takes its change with it.
    const QList<Cashier> before = hall.cashiers->list();
    hall.refuseEvents = true;
    QCOMPARE(hall.error(run), QStringLiteral("olay yazılamadı"));
    hall.refuseEvents = false;
    hall.reopen();
    QCOMPARE(hall.cashiers->list(), before);
    QCOMPARE(hall.cashiers->roleFor("clear"), kYonetici);
    QVERIFY(!hall.cashiers->current());
    if (step == QLatin1String("pin"))
        QVERIFY(hall.cashiers->login("9999"));

    hall.events.clear();
    QCOMPARE(hall.error(run), QString());
    QCOMPARE(hall.events.size(), 1);
    QCOMPARE(hall.events.first().kind, kind);
    QCOMPARE(hall.events.first().detail, detail);
}

void TestCashiers::wrongPinsLockThePrompt()
{
    Hall hall;
    hall.cashiers->add("Ayşe", "9999", kYonetici);
    hall.cashiers->add("Ali", "1234", kKasiyer);
    QVERIFY(hall.cashiers->login("1234"));
    hall.events.clear();

    // Four wrong, then right: the count starts again.
    for (int i = 0; i < 4; ++i)
        QVERIFY(!hall.cashiers->login("1111"));
    QVERIFY(hall.cashiers->login("9999"));
    QCOMPARE(hall.cashiers->lockedFor(), 0);
    QCOMPARE(hall.events.at(0).detail, QByteArray(R"({"failures":1,"name":"Ali"})"));
    QCOMPARE(hall.events.at(3).detail, QByteArray(R"({"failures":4,"name":"Ali"})"));

    hall.events.clear();
    for (int i = 0; i < 5; ++i)
        QVERIFY(!hall.cashiers->login(i == 4 ? "12" : "1111")); // a malformed PIN counts too
    QCOMPARE(hall.kinds(), QStringList(5, "pin_fail"));
    QCOMPARE(hall.events.last().detail, QByteArray(R"({"failures":5,"name":"Ayşe"})"));
    QCOMPARE(hall.cashiers->lockedFor(), 30);

    // Kept across a restart; even the right PIN waits, and is not counted.
    hall.reopen();
    hall.env.setNow(hall.env.now().addSecs(10));
    QCOMPARE(hall.cashiers->lockedFor(), 20);
    QCOMPARE(hall.error([&] { hall.cashiers->login("9999"); }),
             QStringLiteral("Çok fazla yanlış PIN: 20 saniye bekleyin"));
    QCOMPARE(hall.error([&] { hall.cashiers->approve("9999"); }),
             QStringLiteral("Çok fazla yanlış PIN: 20 saniye bekleyin"));
    // A clock set back an hour does not make the wait longer.
    hall.env.setNow(hall.env.now().addSecs(-3600));
    QCOMPARE(hall.cashiers->lockedFor(), 30);
    QVERIFY(!hall.error([&] { hall.cashiers->login("9999"); }).isEmpty());
    hall.env.setNow(hall.env.now().addSecs(29));
    QCOMPARE(hall.cashiers->lockedFor(), 1);
    hall.env.setNow(hall.env.now().addSecs(1));
    QCOMPARE(hall.cashiers->lockedFor(), 0);
    QCOMPARE(hall.cashiers->login("9999"), (Cashier{"Ayşe", kYonetici}));

    // After the lock five more are needed.
    for (int i = 0; i < 4; ++i)
        QVERIFY(!hall.cashiers->login("1111"));
    QCOMPARE(hall.cashiers->lockedFor(), 0);
}

void TestCashiers::noPinInTheFile()
{
    Hall hall;
    const QString code = hall.cashiers->add("Ayşe", "482913", kYonetici);
    hall.cashiers->add("Ali", "730561", kKasiyer);
    hall.cashiers->setPin("Ali", "605172");
    const QByteArray bytes =
        TestEnvironment::readBytes(hall.path) + TestEnvironment::readBytes(hall.path + "-wal");
    QVERIFY(bytes.contains("Ayşe"));
    for (const QByteArray &secret :
         {QByteArray("482913"), QByteArray("730561"), QByteArray("605172"), code.toLatin1(),
          code.toLatin1().replace("-", "")})
        QVERIFY2(!bytes.contains(secret), secret.constData());
    QVERIFY(bytes.contains("$argon2id$"));
}

void TestCashiers::recoveryCodeWorksOnce()
{
    Hall hall;
    const QString code = hall.cashiers->add("Ayşe", "9999", kYonetici);
    QVERIFY2(QRegularExpression("^[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}-[A-HJ-NP-Z2-9]{4}$")
                 .match(code)
                 .hasMatch(),
             qPrintable(code));
    // Only the first Yönetici is given one.
    QCOMPARE(hall.cashiers->add("Cem", "7777", kYonetici), QString());
    hall.cashiers->add("Ali", "1234", kKasiyer);

    QVERIFY(!hall.cashiers->recover("AAAA-AAAA-AAAA", "2468"));
    QCOMPARE(hall.events.last().kind, QStringLiteral("pin_fail"));
    QCOMPARE(hall.error([&] { hall.cashiers->recover(code, "1234"); }),
             QStringLiteral("Bu PIN başka bir kasiyerde kullanılıyor; başka bir PIN seçin."));

    // Typed in small letters without dashes, after a restart.
    hall.reopen();
    const auto done = hall.cashiers->recover(code.toLower().remove('-'), "2468");
    QVERIFY(done);
    QCOMPARE(done->name, QStringLiteral("Ayşe"));
    QVERIFY(done->code != code);
    QCOMPARE(hall.cashiers->login("2468"), (Cashier{"Ayşe", kYonetici}));
    QVERIFY(!hall.cashiers->login("9999"));
    QVERIFY(!hall.cashiers->recover(code, "1357"));
    QVERIFY(hall.cashiers->recover(done->code, "1357"));
}

void TestCashiers::promptGoesOnWhileTheLedgerIsOnlyRead()
{
    Hall hall;
    hall.cashiers->add("Ayşe", "9999", kYonetici);
    hall.cashiers.reset();
    hall.ledger.reset();
    {
        // A table of another program's: the ledger is then only read.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        db.setDatabaseName(hall.path);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("CREATE TABLE other_program(x)"));
    }
    QSqlDatabase::removeDatabase("other");
    hall.reopen();
    QVERIFY(hall.ledger->readable() && !hall.ledger->isOpen());

    hall.events.clear();
    QCOMPARE(hall.cashiers->login("9999"), (Cashier{"Ayşe", kYonetici}));
    for (int i = 0; i < 5; ++i)
        QVERIFY(!hall.cashiers->login("1111"));
    QCOMPARE(hall.cashiers->lockedFor(), 30);
    QCOMPARE(hall.kinds(),
             QStringList({"login", "pin_fail", "pin_fail", "pin_fail", "pin_fail", "pin_fail"}));
    // Changes of the cashiers themselves wait for a ledger that can be written.
    QCOMPARE(hall.error([&] { hall.cashiers->add("Ali", "1234", kKasiyer); }),
             hall.ledger->problem());
}

void TestCashiers::permissions_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("setTo");
    QTest::addColumn<QString>("refusal");

    QTest::newRow("restart to Kasiyer") << "restart" << kKasiyer << "";
    QTest::newRow("wipe to Kasiyer") << "wipe" << kKasiyer << "";
    QTest::newRow("cashiers to Kasiyer")
        << "cashiers" << kKasiyer << "Kasiyerleri yalnız Yönetici değiştirebilir.";
    QTest::newRow("unknown action") << "refund" << kKasiyer << "Bilinmeyen işlem: refund";
}

void TestCashiers::permissions()
{
    QFETCH(QString, action);
    QFETCH(QString, setTo);
    QFETCH(QString, refusal);

    Hall hall;
    // Without cashiers nothing is ever asked.
    for (const Action &a : Cashiers::actions()) {
        QVERIFY(hall.cashiers->needsManager(a.key));
        QVERIFY(!hall.cashiers->needsApproval(a.key));
    }
    hall.cashiers->add("Ayşe", "9999", kYonetici);
    hall.cashiers->add("Ali", "1234", kKasiyer);
    QVERIFY(hall.cashiers->login("1234"));
    QCOMPARE(hall.error([&] { hall.cashiers->setActionRole(action, setTo); }), refusal);
    hall.reopen();
    QVERIFY(hall.cashiers->login("1234"));
    QCOMPARE(hall.cashiers->needsApproval(action), !refusal.isEmpty());
    QCOMPARE(hall.cashiers->approve("9999"), (Cashier{"Ayşe", kYonetici}));
    QCOMPARE(hall.error([&] { hall.cashiers->approve("1234"); }),
             QStringLiteral("Bu işlem için bir Yönetici PIN'i gerekiyor."));
    QVERIFY(hall.cashiers->login("9999"));
    QVERIFY(!hall.cashiers->needsApproval(action));
    // Every other action keeps its default.
    for (const Action &a : Cashiers::actions())
        if (action != QLatin1String(a.key))
            QVERIFY(hall.cashiers->needsManager(a.key));
}

QTEST_GUILESS_MAIN(TestCashiers)
#include "tst_cashiers.moc"
