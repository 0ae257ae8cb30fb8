#include "pindialog.h"

#include "messages.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace kv;
using kv::ledger::Cashiers;

namespace {
QLineEdit *pinEdit(QWidget *parent, const QString &name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setEchoMode(QLineEdit::Password);
    e->setMaxLength(6);
    e->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), e));
    return e;
}
} // namespace

PinDialog::PinDialog(Cashiers *cashiers, QWidget *parent) : QDialog(parent), m_cashiers(cashiers)
{
    setObjectName(QStringLiteral("PinDialog"));
    m_pages = new QStackedWidget(this);

    auto *pinPage = new QWidget(m_pages);
    m_prompt = new QLabel(pinPage);
    m_prompt->setObjectName(QStringLiteral("prompt"));
    m_pin = pinEdit(pinPage, QStringLiteral("pin"));
    m_message = new QLabel(pinPage);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setStyleSheet(QStringLiteral("color: #b00000;"));
    auto *pinButtons = new QDialogButtonBox(pinPage);
    m_ok = pinButtons->addButton(QStringLiteral("Giriş"), QDialogButtonBox::AcceptRole);
    m_ok->setDefault(true);
    m_toRecovery =
        pinButtons->addButton(QStringLiteral("&Kurtarma Kodu"), QDialogButtonBox::ActionRole);
    m_toRecovery->setObjectName(QStringLiteral("toRecovery"));
    m_toRecovery->setAutoDefault(false);
    pinButtons->addButton(QStringLiteral("Vazgeç"), QDialogButtonBox::RejectRole);
    auto *pinLayout = new QFormLayout(pinPage);
    pinLayout->addRow(m_prompt);
    pinLayout->addRow(QStringLiteral("&PIN:"), m_pin);
    pinLayout->addRow(m_message);
    pinLayout->addRow(pinButtons);

    auto *recoveryPage = new QWidget(m_pages);
    auto *about = new QLabel(QStringLiteral("Yönetici PIN'i unutulduysa ilk Yöneticiye kurtarma "
                                            "koduyla yeni bir PIN verilir."),
                             recoveryPage);
    about->setWordWrap(true);
    m_code = new QLineEdit(recoveryPage);
    m_code->setObjectName(QStringLiteral("code"));
    m_code->setMaxLength(20);
    m_newPin = pinEdit(recoveryPage, QStringLiteral("newPin"));
    m_repeatPin = pinEdit(recoveryPage, QStringLiteral("repeatPin"));
    m_recoveryMessage = new QLabel(recoveryPage);
    m_recoveryMessage->setObjectName(QStringLiteral("recoveryMessage"));
    m_recoveryMessage->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_recoveryMessage->setWordWrap(true);
    auto *recoveryButtons = new QDialogButtonBox(recoveryPage);
    QPushButton *save =
        recoveryButtons->addButton(QStringLiteral("Kaydet"), QDialogButtonBox::AcceptRole);
    save->setAutoDefault(false);
    QPushButton *back =
        recoveryButtons->addButton(QStringLiteral("Geri"), QDialogButtonBox::RejectRole);
    back->setAutoDefault(false);
    auto *recoveryLayout = new QFormLayout(recoveryPage);
    recoveryLayout->addRow(about);
    recoveryLayout->addRow(QStringLiteral("K&urtarma kodu:"), m_code);
    recoveryLayout->addRow(QStringLiteral("&Yeni PIN:"), m_newPin);
    recoveryLayout->addRow(QStringLiteral("Yeni PIN (&tekrar):"), m_repeatPin);
    recoveryLayout->addRow(m_recoveryMessage);
    recoveryLayout->addRow(recoveryButtons);

    m_pages->addWidget(pinPage);
    m_pages->addWidget(recoveryPage);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);

    connect(pinButtons, &QDialogButtonBox::accepted, this, [this] { confirm(); });
    connect(pinButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_toRecovery, &QPushButton::clicked, this, [this] { showPage(1); });
    connect(recoveryButtons, &QDialogButtonBox::accepted, this, [this] { recover(); });
    connect(recoveryButtons, &QDialogButtonBox::rejected, this, [this] { showPage(0); });
    // Enter in a field of the recovery page saves it, rather than the hidden page's default.
    for (QLineEdit *e : {m_code, m_newPin, m_repeatPin})
        connect(e, &QLineEdit::returnPressed, this, [this] { recover(); });

    m_countdown.setInterval(1000);
    connect(&m_countdown, &QTimer::timeout, this, [this] { tick(); });
    connect(this, &QDialog::finished, &m_countdown, &QTimer::stop);
}

void PinDialog::start(Mode mode, const QString &prompt)
{
    m_mode = mode;
    m_who.reset();
    setWindowTitle(mode == Mode::Login ? QStringLiteral("Kasiyer Girişi")
                                       : QStringLiteral("Yönetici Onayı"));
    m_prompt->setText(prompt);
    m_toRecovery->setVisible(mode == Mode::Login);
    m_pin->clear();
    m_message->clear();
    showPage(0);
    showLock();
}

std::optional<ledger::Cashier> PinDialog::login()
{
    start(Mode::Login, QStringLiteral("PIN'inizi yazıp Enter'a basın."));
    return exec() == QDialog::Accepted ? m_who : std::nullopt;
}

QString PinDialog::approve(const QString &action)
{
    start(Mode::Approve,
          QStringLiteral("Yönetici onayı gerekiyor: %1").arg(Cashiers::label(action)));
    return exec() == QDialog::Accepted && m_who ? m_who->name : QString();
}

void PinDialog::showPage(int page)
{
    // The window takes the size of the page shown, not of the larger one hidden.
    for (int i = 0; i < m_pages->count(); ++i)
        m_pages->widget(i)->setSizePolicy(i == page ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                                          i == page ? QSizePolicy::Preferred
                                                    : QSizePolicy::Ignored);
    m_pages->setCurrentIndex(page);
    adjustSize();
    m_ok->setDefault(page == 0);
    if (page == 1) {
        m_code->clear();
        m_newPin->clear();
        m_repeatPin->clear();
        m_recoveryMessage->clear();
        m_code->setFocus();
    } else {
        m_pin->setFocus();
    }
}

bool PinDialog::showLock()
{
    int wait = 0;
    guard([&] { wait = m_cashiers->lockedFor(); });
    m_pin->setEnabled(wait == 0);
    m_ok->setEnabled(wait == 0);
    if (wait == 0) {
        m_countdown.stop();
        return false;
    }
    m_message->setText(QStringLiteral("Çok fazla yanlış PIN: %1 saniye bekleyin").arg(wait));
    if (!m_countdown.isActive())
        m_countdown.start();
    return true;
}

void PinDialog::tick()
{
    if (showLock())
        return;
    m_message->clear();
    m_pin->setFocus();
}

void PinDialog::confirm()
{
    if (showLock())
        return;
    const QString pin = m_pin->text();
    m_pin->clear();
    bool refused = false;
    QString why;
    try {
        m_who = m_mode == Mode::Login ? m_cashiers->login(pin) : m_cashiers->approve(pin);
    } catch (const RuntimeError &e) {
        refused = true;
        why = e.text();
    }
    if (m_who) {
        accept();
        return;
    }
    if (showLock())
        return;
    // A Yönetici's PIN that the approval needs, or the ledger that could not count it.
    m_message->setText(refused ? why : QStringLiteral("Yanlış PIN"));
    m_pin->setFocus();
}

void PinDialog::recover()
{
    if (m_pages->currentIndex() != 1)
        return;
    if (m_newPin->text() != m_repeatPin->text()) {
        m_recoveryMessage->setText(QStringLiteral("Yeni PIN ile tekrarı aynı değil."));
        m_repeatPin->clear();
        m_repeatPin->setFocus();
        return;
    }
    std::optional<Cashiers::Recovered> done;
    try {
        done = m_cashiers->recover(m_code->text(), m_newPin->text());
    } catch (const RuntimeError &e) {
        m_recoveryMessage->setText(e.text());
        return;
    }
    if (!done) {
        m_recoveryMessage->setText(QStringLiteral("Kurtarma kodu yanlış."));
        if (showLock())
            showPage(0);
        return;
    }
    messages::inform(QStringLiteral("%1 için yeni PIN kaydedildi.\n\nYeni kurtarma kodu: %2\n\n"
                                    "Bu kodu yazıp saklayın; bir daha gösterilmez.")
                         .arg(done->name, done->code));
    showPage(0);
}

std::optional<hall::Approval> askApproval(hall::Hall &hall, QWidget *parent, const QString &action,
                                          bool needed)
{
    if (!needed)
        return hall.noneAsked();
    // Cashiers known earlier but unreadable now: nobody can tell who may do it.
    if (hall.cashiers().unknownNow()) {
        messages::showError(QStringLiteral("Defter okunamadığı için kasiyerler bilinmiyor; "
                                           "Yönetici onayı gereken bu işlem şimdi yapılamaz."));
        return std::nullopt;
    }
    // A Yönetici who approved the step this one is part of approves it too.
    if (!hall.approver().isEmpty() || !hall.cashiers().needsApproval(action))
        return hall.noneAsked();
    PinDialog prompt(&hall.cashiers(), parent);
    const QString approver = prompt.approve(action);
    if (approver.isEmpty())
        return std::nullopt;
    return hall::Approval(hall, approver);
}
