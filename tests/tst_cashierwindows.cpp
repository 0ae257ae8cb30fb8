// The PIN prompt and the "Kasiyerler" tab, driven from the keyboard.
#include "deskfixture.h"

#include "cashdesk.h"
#include "cashierspage.h"
#include "eventrows.h"
#include "ledger.h"
#include "pindialog.h"

#include <QSqlQuery>
#include <QStatusBar>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

using namespace kv;
using kv::ledger::Cashier;
using kv::ledger::Cashiers;

namespace {
struct Hall
{
    TestEnvironment env;
    ledger::Ledger ledger;
    std::unique_ptr<Cashiers> cashiers;

    Hall()
    {
        QDir().mkpath(env.dataDir());
        if (!ledger.open(env.dataDir() + QStringLiteral("/Defter.db")))
            qFatal("%s", qPrintable(ledger.problem()));
        cashiers = std::make_unique<Cashiers>(ledger);
    }
};

void type(QWidget *field, const QString &keys)
{
    field->setFocus();
    QTest::keyClicks(field, keys);
    QTest::keyClick(field, Qt::Key_Return);
}

// Answers each PIN prompt that opens with the next PIN; an empty one gives up.
class PinAnswers
{
public:
    explicit PinAnswers(QStringList pins) : m_pins(std::move(pins))
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            auto *prompt = qobject_cast<PinDialog *>(QApplication::activeModalWidget());
            if (!prompt || prompt == m_last || m_pins.isEmpty())
                return;
            m_last = prompt;
            prompts << prompt->windowTitle();
            const QString pin = m_pins.takeFirst();
            if (pin.isEmpty())
                prompt->reject();
            else
                type(prompt->pinField(), pin);
        });
        m_timer.start();
    }
    QStringList prompts; // the titles of the prompts answered
    bool done() const { return m_pins.isEmpty(); }

private:
    QStringList m_pins;
    QTimer m_timer;
    QPointer<PinDialog> m_last;
};

QStringList rowsOf(const QTableWidget *t)
{
    QStringList out;
    for (int i = 0; i < t->rowCount(); ++i)
        out << t->item(i, 0)->text() + QLatin1Char('/') + t->item(i, 1)->text();
    return out;
}
} // namespace

class TestCashierWindows : public QObject
{
    Q_OBJECT

private slots:
    void pinPrompt_data();
    void pinPrompt();
    void cashiersTab();
    void counterWithCashiers();
};

void TestCashierWindows::pinPrompt_data()
{
    QTest::addColumn<QString>("flow");
    QTest::newRow("login after a wrong PIN") << "login";
    QTest::newRow("locked, then counted down") << "lock";
    QTest::newRow("approval by a Yönetici") << "approve";
    QTest::newRow("forgotten Yönetici PIN") << "recover";
}

void TestCashierWindows::pinPrompt()
{
    QFETCH(QString, flow);
    Hall hall;
    const QString code = hall.cashiers->add("Ayşe", "9999", Cashiers::kManager);
    hall.cashiers->add("Ali", "1234", Cashiers::kCashier);
    PinDialog dialog(hall.cashiers.get());
    QLineEdit *pin = dialog.pinField();
    std::optional<Cashier> who;
    QString approver;

    if (flow == QLatin1String("login")) {
        ModalDriver driver(&dialog, {[&] {
                                         QCOMPARE(dialog.windowTitle(), "Kasiyer Girişi");
                                         QCOMPARE(pin->echoMode(), QLineEdit::Password);
                                         QTRY_VERIFY(pin->hasFocus());
                                         type(pin, "1x1-11");
                                     },
                                     [&] {
                                         QCOMPARE(dialog.message()->text(), "Yanlış PIN");
                                         QVERIFY(pin->text().isEmpty());
                                         type(pin, "1234");
                                     }});
        who = dialog.login();
        QCOMPARE(who, (Cashier{"Ali", Cashiers::kCashier}));
        QVERIFY(!driver.leftOpen);
    } else if (flow == QLatin1String("lock")) {
        ModalDriver driver(&dialog, {[&] {
                                         for (int i = 0; i < 5; ++i)
                                             type(pin, "5555");
                                     },
                                     [&] {
                                         QCOMPARE(dialog.message()->text(),
                                                  "Çok fazla yanlış PIN: 30 saniye bekleyin");
                                         QVERIFY(!pin->isEnabled());
                                         hall.env.setNow(hall.env.now().addSecs(28));
                                         QTRY_COMPARE(dialog.message()->text(),
                                                      "Çok fazla yanlış PIN: 2 saniye bekleyin");
                                         hall.env.setNow(hall.env.now().addSecs(2));
                                         QTRY_VERIFY(pin->isEnabled());
                                         QVERIFY(dialog.message()->text().isEmpty());
                                         QVERIFY(pin->hasFocus());
                                         type(pin, "9999");
                                     }});
        who = dialog.login();
        QCOMPARE(who, (Cashier{"Ayşe", Cashiers::kManager}));
    } else if (flow == QLatin1String("approve")) {
        ModalDriver driver(
            &dialog,
            {[&] {
                 QCOMPARE(static_cast<QLabel *>(dialog.findChild<QLabel *>("prompt"))->text(),
                          "Yönetici onayı gerekiyor: Temizle");
                 QVERIFY(!dialog.recoveryButton()->isVisible());
                 type(pin, "1234");
             },
             [&] {
                 QCOMPARE(dialog.message()->text(), "Bu işlem için bir Yönetici PIN'i gerekiyor.");
                 type(pin, "9999");
             }});
        approver = dialog.approve("clear");
        QCOMPARE(approver, QStringLiteral("Ayşe"));
        QVERIFY(!hall.cashiers->current()); // an approval logs nobody in
    } else {
        ModalDriver driver(
            &dialog,
            {[&] {
                 QTRY_VERIFY(dialog.isActiveWindow());
                 // Through the window, as a key pressed: the way a shortcut
                 // is found.
                 QTest::keyClick(dialog.windowHandle(), Qt::Key_K, Qt::AltModifier);
                 QTRY_VERIFY(dialog.codeField()->hasFocus()); // a mnemonic clicks after a moment
                 QTest::keyClicks(dialog.codeField(), code.toLower());
                 QTest::keyClick(dialog.codeField(), Qt::Key_Tab);
                 QTest::keyClicks(dialog.newPinField(), "2468");
                 QTest::keyClick(dialog.newPinField(), Qt::Key_Tab);
                 type(dialog.repeatPinField(), "2468");
             },
             [&] {
                 QCOMPARE(hall.env.messages().infos.size(), 1);
                 QVERIFY(hall.env.messages().infos.first().startsWith(
                     "Ayşe için yeni PIN kaydedildi."));
                 QVERIFY(pin->hasFocus());
                 type(pin, "2468");
             }});
        who = dialog.login();
        QCOMPARE(who, (Cashier{"Ayşe", Cashiers::kManager}));
    }
}

void TestCashierWindows::cashiersTab()
{
    Hall hall;
    CashiersPage page(hall.cashiers.get());
    page.resize(570, 320);
    page.show();
    auto &box = hall.env.messages();

    // The first cashier has to be a Yönetici: a Kasiyer is refused and nothing is added.
    page.nameField()->setText("Ali");
    type(page.pinField(), "1234");
    QCOMPARE(box.errors, QStringList("İlk kasiyer Yönetici olmalı: kasiyerleri o yönetir."));
    QCOMPARE(page.cashierList()->rowCount(), 0);

    page.nameField()->setText("Ayşe");
    page.roleBox()->setCurrentText(Cashiers::kManager);
    type(page.pinField(), "99a99");
    QCOMPARE(rowsOf(page.cashierList()), QStringList("Ayşe/Yönetici"));
    QVERIFY(page.pinField()->text().isEmpty());
    QCOMPARE(box.infos.size(), 1);
    QVERIFY(box.infos.first().contains("Bu kodu yazıp saklayın; bir daha gösterilmez."));
    QCOMPARE(hall.cashiers->login("9999"), (Cashier{"Ayşe", Cashiers::kManager}));

    page.nameField()->setText("Ali");
    page.roleBox()->setCurrentText(Cashiers::kCashier);
    type(page.pinField(), "1234");
    QCOMPARE(rowsOf(page.cashierList()), QStringList({"Ayşe/Yönetici", "Ali/Kasiyer"}));
    QCOMPARE(box.infos.size(), 1); // the code is shown only once

    // The last Yönetici stays, whatever the buttons say.
    box.clear();
    page.cashierList()->selectRow(0);
    QCOMPARE(page.nameField()->text(), QStringLiteral("Ayşe"));
    page.roleBox()->setCurrentText(Cashiers::kCashier);
    page.findChild<QPushButton *>("changeRole")->click();
    box.answers = {true};
    page.findChild<QPushButton *>("removeCashier")->click();
    QCOMPARE(box.errors.size(), 2);
    QCOMPARE(rowsOf(page.cashierList()), QStringList({"Ayşe/Yönetici", "Ali/Kasiyer"}));

    // A new PIN for the one selected: Enter in the PIN field.
    page.cashierList()->selectRow(1);
    type(page.pinField(), "4321");
    QCOMPARE(hall.cashiers->login("4321"), (Cashier{"Ali", Cashiers::kCashier}));

    // The actions' roles are saved as chosen; the cashiers stay a Yönetici's.
    auto *restart = page.findChild<QComboBox *>("role_restart");
    restart->setCurrentText(Cashiers::kCashier);
    QCOMPARE(hall.cashiers->roleFor("restart"), Cashiers::kCashier);
    QVERIFY(!page.findChild<QComboBox *>("role_cashiers")->isEnabled());
    QCOMPARE(page.actionList()->rowCount(), int(Cashiers::actions().size()));

    box.answers = {true};
    page.findChild<QPushButton *>("removeCashier")->click();
    QCOMPARE(rowsOf(page.cashierList()), QStringList("Ayşe/Yönetici"));

    // Tab leads from the list through the fields and buttons to the actions' roles.
    QVERIFY(QTest::qWaitForWindowActive(&page));
    page.cashierList()->setFocus();
    QStringList walk;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walk << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(walk,
             QStringList({"cashierName", "cashierPin", "cashierRole", "addCashier", "changePin",
                          "changeRole", "removeCashier", "role_restart", "role_fee_open"}));
}

// An evening's start with cashiers set up and an event chain edited behind the program's back:
// the PIN at start, the chain's warning, a Yönetici's approval and a change of cashier.
void TestCashierWindows::counterWithCashiers()
{
    Desk desk;
    desk.prepare(2);
    {
        ledger::Ledger l;
        QVERIFY(l.open(desk.paths.ledgerFile()));
        Cashiers c(l);
        c.add("Ayşe", "9999", Cashiers::kManager);
        c.add("Ali", "1234", Cashiers::kCashier);
        l.appendEvent({"login", {}, R"({"name":"Ali"})", {}}, "Ali");
        QSqlQuery q(QSqlDatabase::database(l.connectionName()));
        QVERIFY(q.exec(R"(UPDATE events SET detail = '{"name":"Ayşe"}' WHERE id = 1)"));
    }
    auto &box = desk.env.messages();
    desk.forms = kv::createForms(desk.paths, nullptr, true);
    CashDesk *cash = desk.forms.Cash;
    auto *cashier = desk.form()->findChild<QLabel *>("StatusCashier");
    auto *chain = desk.form()->findChild<QPushButton *>("StatusChain");
    desk.form()->show();
    cash->startLedger();
    {
        PinAnswers pins({"1234"});
        QVERIFY(cash->loginAtStart());
        QCOMPARE(pins.prompts, QStringList("Kasiyer Girişi"));
    }
    const QString broken = "Defter bozulmuş: %1 numaralı kayıt değiştirilmiş, silinmiş ya da "
                           "araya eklenmiş!";
    QTRY_COMPARE(box.errors, QStringList(broken.arg(1))); // once no prompt is open
    QVERIFY(chain->isVisible());
    QCOMPARE(cashier->text(), QStringLiteral("Kasiyer: Ali (Kasiyer)"));

    // A Kasiyer restarts an account only with a Yönetici's PIN; giving up changes nothing.
    desk.select(0);
    desk.run([&] { desk.form()->ListBox2DblClick(); });
    const QByteArray opened = TestEnvironment::readBytes(desk.paths.registerFile());
    desk.env.setNow(desk.env.now().addSecs(600));
    for (const QString &pin : {QString(), QStringLiteral("9999")}) {
        box.answers = {true};
        PinAnswers pins({pin});
        desk.run([&] { desk.form()->ListBox2DblClick(); });
        QCOMPARE(pins.prompts, QStringList("Yönetici Onayı"));
        QCOMPARE(TestEnvironment::readBytes(desk.paths.registerFile()) == opened, pin.isEmpty());
    }

    // The warning stays until a Yönetici takes it away.
    {
        box.answers = {true};
        PinAnswers pins({"9999"});
        chain->click();
        QVERIFY(pins.done());
    }
    QVERIFY(!chain->isVisible());
    // What is acknowledged hides no later break.
    {
        QSqlQuery edit(QSqlDatabase::database(cash->ledger().connectionName()));
        QVERIFY(edit.exec(R"(UPDATE events SET operator = 'Ayşe' WHERE id = 3)"));
    }
    cash->reportChain(ledger::verifyChain(desk.paths.ledgerFile()));
    QCOMPARE(box.errors.last(), broken.arg(3));
    QVERIFY(chain->isVisible());
    cash->reportChain(ledger::ChainCheck{true, 0, 0, {}, {}});
    QVERIFY(!chain->isVisible());
    {
        PinAnswers pins({"9999"});
        desk.form()->ui->KasiyerDegistir1->trigger();
        QVERIFY(pins.done());
    }
    QCOMPARE(cashier->text(), QStringLiteral("Kasiyer: Ayşe (Yönetici)"));

    QCOMPARE(eventRows(cash->ledger().connectionName(), 1),
             (QStringList{"login Ali", "open Ayşe", "restart Ali Ayşe", "verify_ack Ali Ayşe",
                          "logout Ali", "login Ayşe"}));
    QCOMPARE(box.errors.size(), 2);
}

QTEST_MAIN(TestCashierWindows)
#include "tst_cashierwindows.moc"
