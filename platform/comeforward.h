#pragma once

#include <QObject>
#include <QString>

#include <memory>

// The channel over which a later start asks the running copy to come forward: a FIFO of the
// user's own (mode 0600) on POSIX, a named event in the session on Windows. Lighter than a
// local socket: one line, or one signal, and nothing to answer.
namespace kv {

class ComeForwardChannel : public QObject
{
    Q_OBJECT

public:
    explicit ComeForwardChannel(QObject *parent = nullptr);
    ~ComeForwardChannel() override; // removes the FIFO

    // Starts listening at `name` (a path on POSIX, a name on Windows), replacing whatever a
    // copy that ended without cleaning up left there; only the copy that holds the lock may.
    // False when it cannot: the copy then runs without being brought forward.
    bool listen(const QString &name);
    // Asks the copy listening at `name` to come forward, letting it take the foreground;
    // false when none listens there.
    static bool request(const QString &name);

signals:
    void requested();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kv
