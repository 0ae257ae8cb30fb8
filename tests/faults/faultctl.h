#pragma once

#include "kvfault.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#ifdef Q_OS_LINUX
#include <dlfcn.h>
#endif

// The fault shim as seen by a test in the same process: its functions are looked up with
// dlsym, so a test run without the shim preloaded finds it "not loaded" and skips.
class FaultControl
{
public:
    FaultControl()
    {
#ifdef Q_OS_LINUX
        m_scope = find<decltype(m_scope)>("kvfault_scope");
        m_arm = find<decltype(m_arm)>("kvfault_arm");
        m_disarm = find<decltype(m_disarm)>("kvfault_disarm");
        m_count = find<decltype(m_count)>("kvfault_count");
        m_fired = find<decltype(m_fired)>("kvfault_fired");
        m_noTmpfile = find<decltype(m_noTmpfile)>("kvfault_no_tmpfile");
        m_plant = find<decltype(m_plant)>("kvfault_plant");
        m_spare = find<decltype(m_spare)>("kvfault_spare");
#endif
    }

    bool loaded() const
    {
        return m_scope && m_arm && m_disarm && m_count && m_fired && m_noTmpfile && m_plant &&
               m_spare;
    }
    static const char *notLoaded()
    {
        return "the fault shim is not loaded (run with LD_PRELOAD=libkvfault.so, Linux only)";
    }

    void scope(const QString &dir) const
    {
        m_scope(QFile::encodeName(dir).constData());
    }
    // Calls on files whose canonical path starts with `prefix` do not count.
    void spare(const QString &prefix) const
    {
        m_spare(QFile::encodeName(prefix).constData());
    }
    bool arm(const QString &rules) const
    {
        return m_arm(rules.toLatin1().constData()) == 0;
    }
    void disarm() const
    {
        m_disarm();
    }
    int count(const char *kind) const
    {
        return m_count(kind);
    }
    int fired() const
    {
        return m_fired();
    }
    void noTmpfile(bool on) const
    {
        m_noTmpfile(on ? 1 : 0);
    }
    // Plants a link to `victim` at the name of the next `times` new files in scope.
    void plant(const QString &victim, int times) const
    {
        m_plant(victim.isEmpty() ? nullptr : QFile::encodeName(victim).constData(), times);
    }

private:
#ifdef Q_OS_LINUX
    template <class F> static F find(const char *name)
    {
        return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
    }
#endif
    void (*m_scope)(const char *) = nullptr;
    void (*m_spare)(const char *) = nullptr;
    int (*m_arm)(const char *) = nullptr;
    void (*m_disarm)() = nullptr;
    int (*m_count)(const char *) = nullptr;
    int (*m_fired)() = nullptr;
    void (*m_noTmpfile)(int) = nullptr;
    void (*m_plant)(const char *, int) = nullptr;
};
