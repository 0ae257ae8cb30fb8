#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The hall's cashiers, their PINs and what each role may do, kept in the ledger. With no
// cashiers set up the counter works without any of it.
namespace kv::ledger {

class Ledger;

struct Cashier
{
    QString name;
    QString role;
    bool operator==(const Cashier &) const = default;
};

// An action that may need a Yönetici: its stable key and its label in the window.
struct Action
{
    const char *key;
    QString label;
};

class Cashiers
{
public:
    // Called with each change's event inside the change's own transaction, on the ledger's
    // connection: what it writes there is kept with the change, and if it throws the change
    // is undone. `detail` is compact JSON. The PIN prompt's events while the ledger is only
    // read come without a transaction: the ledger cannot take them then.
    using Record = std::function<void(const QString &kind, const QByteArray &detail)>;

    static const QString kCashier; // "Kasiyer"
    static const QString kManager; // "Yönetici"
    static constexpr int kMaxFailures = 5;
    static constexpr int kLockSeconds = 30;

    explicit Cashiers(Ledger &ledger, Record record = {});
    // Runs before each change's transaction begins (the hall enters events still waiting).
    void setBeforeChange(std::function<void()> before) { m_beforeChange = std::move(before); }
    // Whether the recorder is called inside the change's transaction (else it is a PIN
    // prompt's event while the ledger cannot take it).
    bool inTransaction() const { return m_inTransaction; }
    // Cashiers were seen in this run but cannot be read now: who may do what is not known.
    bool unknownNow() const;

    // In the order they were added. None while the ledger cannot be read.
    QList<Cashier> list() const;
    bool any() const;
    // Whether there may be any, asked before the ledger's full check has run: a table that
    // cannot be read may hold some.
    bool mayExist() const;
    std::optional<Cashier> find(const QString &name) const;

    // The first cashier has to be a Yönetici; that one's recovery code is returned, to be
    // shown once. Otherwise the result is empty.
    QString add(const QString &name, const QString &pin, const QString &role);
    void remove(const QString &name);
    void setPin(const QString &name, const QString &pin);
    void setRole(const QString &name, const QString &role);

    // Who the PIN belongs to, now at the counter; none for a wrong PIN, which is counted (and
    // recorded as pin_fail). Throws while the prompt is locked.
    std::optional<Cashier> login(const QString &pin);
    void logout();
    // Who is at the counter; none before a login.
    std::optional<Cashier> current() const;
    // The Yönetici whose PIN this is, for an action that needs one; none for a wrong PIN
    // (counted as at login). A Kasiyer's PIN is refused with a message.
    std::optional<Cashier> approve(const QString &pin);
    // Seconds until the prompt takes a PIN again; 0 when it is not locked.
    int lockedFor() const;
    // Gives the first Yönetici in the list the new PIN and returns that one's name with a new
    // recovery code; the code used is spent. A wrong code counts as a wrong PIN.
    struct Recovered
    {
        QString name;
        QString code;
    };
    std::optional<Recovered> recover(const QString &code, const QString &newPin);

    // What each action needs; a missing row in the ledger is its default, Yönetici.
    static const QList<Action> &actions();
    static QString label(const QString &action);
    QString roleFor(const QString &action) const;
    bool needsManager(const QString &action) const { return roleFor(action) == kManager; }
    // Whether the one at the counter needs a Yönetici's PIN for it: never without cashiers.
    bool needsApproval(const QString &action) const;
    void setActionRole(const QString &action, const QString &role);

private:
    void transaction(const std::function<void()> &body) const;
    // A step of the PIN prompt. The prompt goes on while the ledger is only read: the count
    // of wrong PINs is kept here meanwhile, and the events go to the recorder alone.
    void promptStep(const std::function<void()> &body) const;
    void record(const QString &kind, const QByteArray &detail) const;
    void recordChange(const QString &action, const QString &name, const QString &role) const;
    // The PIN's owner, or a wrong PIN counted; throws while locked.
    std::optional<Cashier> check(const QString &pin);
    std::optional<Cashier> countFailure();
    QString info(const QString &key) const;
    void setInfo(const QString &key, const QString &value) const;
    void refuseTakenPin(const QString &pin, const QString &except) const;
    int managers() const;

    Ledger &m_ledger;
    Record m_record;
    std::optional<Cashier> m_current;
    mutable QHash<QString, QString> m_kept; // what a ledger only read could not take
    mutable bool m_unwritten = false;
    mutable bool m_inTransaction = false;
    mutable bool m_seen = false;
    std::function<void()> m_beforeChange;
};

// Rules a name or a PIN must meet; the refusal's text, empty when it is fine.
QString pinProblem(const QString &pin);
QString nameProblem(const QString &name);

} // namespace kv::ledger
