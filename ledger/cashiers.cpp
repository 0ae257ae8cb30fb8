#include "cashiers.h"

#include "clock.h"
#include "errors.h"
#include "ledger.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sodium.h>

namespace kv::ledger {

const QString Cashiers::kCashier = QStringLiteral("Kasiyer");
const QString Cashiers::kManager = QStringLiteral("Yönetici");

namespace {
// Argon2id at a cost an old counter PC checks in well under a second even with a few
// cashiers to try; the parameters travel in each hash, so they may change later.
constexpr unsigned long long kOpsLimit = 3;
constexpr size_t kMemLimit = size_t(16) << 20;
constexpr int kMaxName = 40;
// No 0/O or 1/I: the code is read off paper.
constexpr char kCodeAlphabet[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
constexpr int kCodeLength = 12;

const char kFailures[] = "pin_failures";
const char kLockedUntil[] = "pin_locked_until";
const char kRecovery[] = "recovery_hash";

void needSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throwError(QStringLiteral("PIN denetimi başlatılamadı: şifreleme kitaplığı açılamadı."));
}

QString hashed(const QString &secret)
{
    needSodium();
    const QByteArray bytes = secret.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), quint64(bytes.size()), kOpsLimit, kMemLimit) != 0)
        throwError(QStringLiteral("PIN saklanamadı: bellek yetmedi."));
    return QString::fromLatin1(out);
}

bool matches(const QString &hash, const QString &secret)
{
    needSodium();
    const QByteArray h = hash.toLatin1();
    const QByteArray bytes = secret.toUtf8();
    return crypto_pwhash_str_verify(h.constData(), bytes.constData(), quint64(bytes.size())) == 0;
}

QString newCode()
{
    needSodium();
    QString code;
    for (int i = 0; i < kCodeLength; ++i) {
        if (i && i % 4 == 0)
            code += QLatin1Char('-');
        code += QLatin1Char(kCodeAlphabet[randombytes_uniform(sizeof kCodeAlphabet - 1)]);
    }
    return code;
}

// As typed: any case, with or without its dashes and blanks.
QString plainCode(const QString &typed)
{
    QString out;
    for (const QChar c : typed)
        if (c != QLatin1Char('-') && !c.isSpace())
            out += c.toUpper();
    return out;
}

QString foldName(const QString &name)
{
    static const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
    return turkish.toLower(name);
}

bool knownRole(const QString &role)
{
    return role == Cashiers::kCashier || role == Cashiers::kManager;
}

void requireRole(const QString &role)
{
    if (!knownRole(role))
        throwError(
            QStringLiteral("Rol \"%1\" tanınmıyor: Kasiyer ya da Yönetici olmalı.").arg(role));
}

void requireAction(const QString &action)
{
    for (const Action &a : Cashiers::actions())
        if (action == QLatin1String(a.key))
            return;
    throwError(QStringLiteral("Bilinmeyen işlem: %1").arg(action));
}

QByteArray json(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QString lockedText(int seconds)
{
    return QStringLiteral("Çok fazla yanlış PIN: %1 saniye bekleyin").arg(seconds);
}
} // namespace

QString pinProblem(const QString &pin)
{
    bool digits = pin.size() >= 4 && pin.size() <= 6;
    for (const QChar c : pin)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    return digits ? QString() : QStringLiteral("PIN 4 ile 6 arası rakamdan oluşmalı.");
}

QString nameProblem(const QString &name)
{
    const QString n = name.trimmed();
    if (n.isEmpty())
        return QStringLiteral("Kasiyerin adını yazın.");
    if (n.size() > kMaxName)
        return QStringLiteral("Kasiyer adı en fazla %1 karakter olabilir.").arg(kMaxName);
    for (const QChar c : n)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            return QStringLiteral("Kasiyer adında satır sonu ya da denetim karakteri olamaz.");
    return QString();
}

Cashiers::Cashiers(Ledger &ledger, Record record) : m_ledger(ledger), m_record(std::move(record)) {}

const QList<Action> &Cashiers::actions()
{
    static const QList<Action> all = {
        {"restart", QStringLiteral("Açık hesabı yeniden başlatma")},
        {"fee_open", QStringLiteral("Açık masanın ücretini değiştirme")},
        {"correct_time", QStringLiteral("Süre Düzelt")},
        {"remove_old_extra", QStringLiteral("5 dakikadan eski extrayı çıkarma")},
        {"clear", QStringLiteral("Temizle")},
        {"drop_leftover", QStringLiteral("Masadaki sahipsiz extraları silme")},
        {"cancel_bill", QStringLiteral("Fiş iptali")},
        {"create_tables", QStringLiteral("Masa Oluştur")},
        {"edit_tables", QStringLiteral("Masaları ve masa türlerini düzenleme")},
        {"wipe", QStringLiteral("Masa Bilgilerini Sil")},
        {"settings", QStringLiteral("Ayarlar")},
        {"catalogue", QStringLiteral("Fiyat listesi")},
        {"cashiers", QStringLiteral("Kasiyerler")},
        {"discount", QStringLiteral("İndirim")},
        {"treat", QStringLiteral("İkram")},
        {"tab", QStringLiteral("Veresiye")},
        {"cash_out", QStringLiteral("Kasadan Çıkış")},
    };
    return all;
}

QString Cashiers::label(const QString &action)
{
    for (const Action &a : actions())
        if (action == QLatin1String(a.key))
            return a.label;
    // Always a Yönetici's: not in the table the Yönetici can change.
    if (action == QLatin1String("verify_ack"))
        return QStringLiteral("Defter uyarısını kaldırma");
    return action;
}

QList<Cashier> Cashiers::list() const
{
    QList<Cashier> out;
    if (!m_ledger.readable())
        return out;
    QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
    if (!q.exec(QStringLiteral("SELECT name, role FROM cashiers ORDER BY position, name"))) {
        // A file only read, of a version before cashiers, has none.
        if (!m_ledger.isOpen())
            return out;
        throwError(QStringLiteral("Kasiyerler okunamadı: %1").arg(q.lastError().text()));
    }
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString()});
    m_seen = m_seen || !out.isEmpty();
    return out;
}

bool Cashiers::any() const
{
    return !list().isEmpty();
}

bool Cashiers::unknownNow() const
{
    return m_seen && !m_ledger.readable();
}

bool Cashiers::mayExist() const
{
    if (!m_ledger.checkPending())
        return any();
    QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
    return !q.exec(QStringLiteral("SELECT 1 FROM cashiers LIMIT 1")) || q.next();
}

std::optional<Cashier> Cashiers::find(const QString &name) const
{
    for (const Cashier &c : list())
        if (c.name == name)
            return c;
    return std::nullopt;
}

std::optional<Cashier> Cashiers::current() const
{
    return m_current;
}

int Cashiers::managers() const
{
    int n = 0;
    for (const Cashier &c : list())
        n += c.role == kManager;
    return n;
}

QString Cashiers::info(const QString &key) const
{
    if (const auto kept = m_kept.constFind(key); kept != m_kept.constEnd())
        return *kept;
    if (!m_ledger.readable())
        return QString();
    QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
    q.prepare(QStringLiteral("SELECT value FROM ledger_info WHERE key = ?"));
    q.addBindValue(key);
    if (!q.exec())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    return q.next() ? q.value(0).toString() : QString();
}

void Cashiers::transaction(const std::function<void()> &body) const
{
    if (!m_ledger.isOpen())
        throwError(m_ledger.problem().isEmpty()
                       ? QStringLiteral("Defter açık değil; kasiyer bilgileri kaydedilemez.")
                       : m_ledger.problem());
    QSqlDatabase db = QSqlDatabase::database(m_ledger.connectionName(), false);
    QSqlQuery control(db);
    // Another program's lock is waited for as the ledger's waiter allows.
    const auto run = [&](const QString &sql) {
        bool waited = false;
        const auto over = qScopeGuard([&] {
            if (waited)
                m_ledger.lockWaitOver();
        });
        while (!control.exec(sql)) {
            if (!isLockError(control.lastError()) || !m_ledger.waitForLock())
                throwError(isLockError(control.lastError())
                               ? QStringLiteral("Defter başka bir program tarafından kullanılıyor")
                               : QStringLiteral("Defter.db'ye yazılamadı (%1)")
                                     .arg(control.lastError().text()));
            waited = true;
        }
    };
    if (m_beforeChange)
        m_beforeChange();
    run(QStringLiteral("BEGIN IMMEDIATE"));
    m_inTransaction = true;
    const auto over = qScopeGuard([this] { m_inTransaction = false; });
    try {
        body();
        run(QStringLiteral("COMMIT"));
    } catch (...) {
        control.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

namespace {
void execOrThrow(QSqlQuery &q)
{
    if (!q.exec())
        throwError(QStringLiteral("Defter.db'ye yazılamadı (%1)").arg(q.lastError().text()));
}
} // namespace

void Cashiers::setInfo(const QString &key, const QString &value) const
{
    if (m_unwritten) {
        m_kept.insert(key, value);
        return;
    }
    m_kept.remove(key);
    QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO ledger_info(key, value) VALUES(?, ?)"));
    q.addBindValue(key);
    q.addBindValue(value);
    execOrThrow(q);
}

void Cashiers::promptStep(const std::function<void()> &body) const
{
    if (!m_ledger.readable()) {
        transaction(body); // says why not
        return;
    }
    if (m_ledger.isOpen()) {
        try {
            transaction(body);
            return;
        } catch (const RuntimeError &) {
            // Locked or failing to write: the prompt goes on as while the ledger is only read.
        }
    }
    m_unwritten = true;
    const auto over = qScopeGuard([this] { m_unwritten = false; });
    body();
}

void Cashiers::record(const QString &kind, const QByteArray &detail) const
{
    if (m_record)
        m_record(kind, detail);
}

void Cashiers::recordChange(const QString &action, const QString &name, const QString &role) const
{
    record(QStringLiteral("cashier"), json({{"action", action}, {"name", name}, {"role", role}}));
}

void Cashiers::refuseTakenPin(const QString &pin, const QString &except) const
{
    QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
    if (!q.exec(QStringLiteral("SELECT name, pin_hash FROM cashiers")))
        throwError(QStringLiteral("Kasiyerler okunamadı: %1").arg(q.lastError().text()));
    while (q.next())
        if (q.value(0).toString() != except && matches(q.value(1).toString(), pin))
            throwError(QStringLiteral("Bu PIN başka bir kasiyerde kullanılıyor; başka bir PIN "
                                      "seçin."));
}

QString Cashiers::add(const QString &name, const QString &pin, const QString &role)
{
    if (const QString why = nameProblem(name); !why.isEmpty())
        throwError(why);
    if (const QString why = pinProblem(pin); !why.isEmpty())
        throwError(why);
    requireRole(role);
    const QString n = name.trimmed();
    const QList<Cashier> all = list();
    if (all.isEmpty() && role != kManager)
        throwError(QStringLiteral("İlk kasiyer Yönetici olmalı: kasiyerleri o yönetir."));
    for (const Cashier &c : all)
        if (foldName(c.name) == foldName(n))
            throwError(QStringLiteral("\"%1\" adında bir kasiyer zaten var.").arg(c.name));
    refuseTakenPin(pin, QString());
    const QString pinHash = hashed(pin);
    QString code;
    if (role == kManager && (all.isEmpty() || info(QLatin1String(kRecovery)).isEmpty()))
        code = newCode();
    const QString codeHash = code.isEmpty() ? QString() : hashed(plainCode(code));
    transaction([&] {
        QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
        q.prepare(QStringLiteral("INSERT INTO cashiers(name, role, pin_hash, position) VALUES(?, "
                                 "?, ?, (SELECT coalesce(max(position), 0) + 1 FROM cashiers))"));
        q.addBindValue(n);
        q.addBindValue(role);
        q.addBindValue(pinHash);
        execOrThrow(q);
        if (!codeHash.isEmpty())
            setInfo(QLatin1String(kRecovery), codeHash);
        recordChange(QStringLiteral("add"), n, role);
    });
    return code;
}

void Cashiers::remove(const QString &name)
{
    const std::optional<Cashier> c = find(name);
    if (!c)
        throwError(QStringLiteral("Kasiyer bulunamadı: %1").arg(name));
    if (c->role == kManager && managers() == 1)
        throwError(QStringLiteral("Son Yönetici silinemez: önce başka bir Yönetici ekleyin."));
    transaction([&] {
        QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
        q.prepare(QStringLiteral("DELETE FROM cashiers WHERE name = ?"));
        q.addBindValue(c->name);
        execOrThrow(q);
        recordChange(QStringLiteral("remove"), c->name, c->role);
        // The one removed leaves the counter with it.
        if (m_current && m_current->name == c->name)
            record(QStringLiteral("logout"), json({{"name", c->name}}));
    });
    if (m_current && m_current->name == c->name)
        m_current.reset();
}

void Cashiers::setPin(const QString &name, const QString &pin)
{
    const std::optional<Cashier> c = find(name);
    if (!c)
        throwError(QStringLiteral("Kasiyer bulunamadı: %1").arg(name));
    if (const QString why = pinProblem(pin); !why.isEmpty())
        throwError(why);
    refuseTakenPin(pin, c->name);
    const QString pinHash = hashed(pin);
    transaction([&] {
        QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
        q.prepare(QStringLiteral("UPDATE cashiers SET pin_hash = ? WHERE name = ?"));
        q.addBindValue(pinHash);
        q.addBindValue(c->name);
        execOrThrow(q);
        recordChange(QStringLiteral("pin"), c->name, c->role);
    });
}

void Cashiers::setRole(const QString &name, const QString &role)
{
    requireRole(role);
    const std::optional<Cashier> c = find(name);
    if (!c)
        throwError(QStringLiteral("Kasiyer bulunamadı: %1").arg(name));
    if (c->role == role)
        return;
    if (c->role == kManager && managers() == 1)
        throwError(QStringLiteral("Son Yönetici Kasiyer yapılamaz: önce başka bir Yönetici "
                                  "ekleyin."));
    transaction([&] {
        QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
        q.prepare(QStringLiteral("UPDATE cashiers SET role = ? WHERE name = ?"));
        q.addBindValue(role);
        q.addBindValue(c->name);
        execOrThrow(q);
        recordChange(QStringLiteral("role"), c->name, role);
    });
    if (m_current && m_current->name == c->name)
        m_current->role = role;
}

int Cashiers::lockedFor() const
{
    const QDateTime until = QDateTime::fromString(info(QLatin1String(kLockedUntil)), Qt::ISODate);
    if (!until.isValid())
        return 0;
    const qint64 ms = clock::now().msecsTo(until);
    // A clock set back never makes the wait longer than a lock's own.
    return ms <= 0 ? 0 : int(std::min<qint64>((ms + 999) / 1000, kLockSeconds));
}

std::optional<Cashier> Cashiers::countFailure()
{
    // A wrong PIN names nobody: the one at the counter when it was typed, "-" at start.
    const QString who = m_current ? m_current->name : QStringLiteral("-");
    const int failures = info(QLatin1String(kFailures)).toInt() + 1;
    promptStep([&] {
        if (failures >= kMaxFailures) {
            setInfo(QLatin1String(kLockedUntil),
                    clock::now().toUTC().addSecs(kLockSeconds).toString(Qt::ISODate));
            setInfo(QLatin1String(kFailures), QStringLiteral("0"));
        } else {
            setInfo(QLatin1String(kFailures), QString::number(failures));
        }
        record(QStringLiteral("pin_fail"), json({{"name", who}, {"failures", failures}}));
    });
    return std::nullopt;
}

std::optional<Cashier> Cashiers::check(const QString &pin)
{
    const QDateTime until = QDateTime::fromString(info(QLatin1String(kLockedUntil)), Qt::ISODate);
    if (until.isValid() && clock::now().secsTo(until) > kLockSeconds)
        promptStep([&] {
            setInfo(QLatin1String(kLockedUntil),
                    clock::now().toUTC().addSecs(kLockSeconds).toString(Qt::ISODate));
        });
    if (const int wait = lockedFor())
        throwError(lockedText(wait));
    if (pinProblem(pin).isEmpty()) {
        QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
        if (!q.exec(QStringLiteral("SELECT name, role, pin_hash FROM cashiers ORDER BY position")))
            throwError(QStringLiteral("Kasiyerler okunamadı: %1").arg(q.lastError().text()));
        while (q.next())
            if (matches(q.value(2).toString(), pin))
                return Cashier{q.value(0).toString(), q.value(1).toString()};
    }
    return countFailure();
}

std::optional<Cashier> Cashiers::login(const QString &pin)
{
    const std::optional<Cashier> who = check(pin);
    if (!who)
        return who;
    promptStep([&] {
        setInfo(QLatin1String(kFailures), QStringLiteral("0"));
        if (m_current && m_current->name != who->name)
            record(QStringLiteral("logout"), json({{"name", m_current->name}}));
        record(QStringLiteral("login"), json({{"name", who->name}}));
    });
    m_current = who;
    return who;
}

void Cashiers::logout()
{
    if (!m_current)
        return;
    promptStep([&] { record(QStringLiteral("logout"), json({{"name", m_current->name}})); });
    m_current.reset();
}

std::optional<Cashier> Cashiers::approve(const QString &pin)
{
    const std::optional<Cashier> who = check(pin);
    if (!who)
        return who;
    if (who->role != kManager)
        throwError(QStringLiteral("Bu işlem için bir Yönetici PIN'i gerekiyor."));
    if (info(QLatin1String(kFailures)).toInt() != 0)
        promptStep([&] { setInfo(QLatin1String(kFailures), QStringLiteral("0")); });
    return who;
}

std::optional<Cashiers::Recovered> Cashiers::recover(const QString &code, const QString &newPin)
{
    if (const QString why = pinProblem(newPin); !why.isEmpty())
        throwError(why);
    if (const int wait = lockedFor())
        throwError(lockedText(wait));
    const QString stored = info(QLatin1String(kRecovery));
    if (stored.isEmpty())
        throwError(QStringLiteral("Bu defterde kurtarma kodu yok."));
    if (!matches(stored, plainCode(code))) {
        countFailure();
        return std::nullopt;
    }
    std::optional<Cashier> manager;
    for (const Cashier &c : list())
        if (!manager && c.role == kManager)
            manager = c;
    if (!manager)
        throwError(QStringLiteral("Bu defterde Yönetici yok."));
    refuseTakenPin(newPin, manager->name);
    const QString pinHash = hashed(newPin);
    Recovered done{manager->name, newCode()};
    const QString codeHash = hashed(plainCode(done.code));
    transaction([&] {
        QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
        q.prepare(QStringLiteral("UPDATE cashiers SET pin_hash = ? WHERE name = ?"));
        q.addBindValue(pinHash);
        q.addBindValue(manager->name);
        execOrThrow(q);
        setInfo(QLatin1String(kRecovery), codeHash);
        setInfo(QLatin1String(kFailures), QStringLiteral("0"));
        record(QStringLiteral("cashier"), json({{"action", "pin"},
                                                {"name", manager->name},
                                                {"role", manager->role},
                                                {"recovered", true}}));
    });
    return done;
}

QString Cashiers::roleFor(const QString &action) const
{
    if (!m_ledger.readable())
        return kManager;
    QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
    q.prepare(QStringLiteral("SELECT role FROM permissions WHERE action = ?"));
    q.addBindValue(action);
    if (!q.exec()) {
        if (!m_ledger.isOpen())
            return kManager;
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    }
    // A row edited to something else asks for the stricter role.
    if (q.next() && q.value(0).toString() == kCashier && action != QLatin1String("cashiers") &&
        action != QLatin1String("verify_ack"))
        return kCashier;
    return kManager;
}

bool Cashiers::needsApproval(const QString &action) const
{
    if (!any() || !needsManager(action))
        return false;
    return !(m_current && m_current->role == kManager);
}

void Cashiers::setActionRole(const QString &action, const QString &role)
{
    requireAction(action);
    requireRole(role);
    if (action == QLatin1String("cashiers") && role != kManager)
        throwError(QStringLiteral("Kasiyerleri yalnız Yönetici değiştirebilir."));
    const QString old = roleFor(action);
    if (old == role)
        return;
    transaction([&] {
        QSqlQuery q(QSqlDatabase::database(m_ledger.connectionName(), false));
        q.prepare(QStringLiteral("INSERT OR REPLACE INTO permissions(action, role) VALUES(?, ?)"));
        q.addBindValue(action);
        q.addBindValue(role);
        execOrThrow(q);
        record(QStringLiteral("settings"),
               json({{"changed", QJsonObject{{QStringLiteral("permissions.") + action,
                                              QJsonObject{{"old", old}, {"new", role}}}}}}));
    });
}

} // namespace kv::ledger
