#include "trayservice.h"

#include <QCursor>
#include <QSystemTrayIcon>

#include <algorithm>

namespace kv {

DesktopTrayService::DesktopTrayService(QObject *parent) : QObject(parent) {}

DesktopTrayService::~DesktopTrayService()
{
    for (Entry &e : m_entries)
        delete e.icon;
}

bool DesktopTrayService::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

DesktopTrayService::Entry *DesktopTrayService::find(const TrayReceiver *receiver, int id)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const Entry &e) { return e.receiver == receiver && e.id == id; });
    return it == m_entries.end() ? nullptr : &*it;
}

void DesktopTrayService::apply(Entry &entry, const TrayIconData &data)
{
    if (data.flags & TrayIconData::Message) {
        entry.message = data.callbackMessage;
        entry.sendsMessages = true;
    }
    if (data.flags & TrayIconData::Icon)
        entry.icon->setIcon(data.icon);
    if (data.flags & TrayIconData::Tip)
        entry.icon->setToolTip(data.tip);
}

bool DesktopTrayService::add(const TrayIconData &data)
{
    if (!data.window || find(data.window, data.id))
        return false;
    auto *icon = new QSystemTrayIcon;
    TrayReceiver *receiver = data.window;
    const int id = data.id;
    m_entries.push_back(Entry{receiver, id, 0, false, icon});
    apply(m_entries.back(), data);

    // The menu is the component's own business, so no context menu is set here.
    connect(icon, &QSystemTrayIcon::activated, this,
            [this, receiver, id](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    deliver(receiver, id, TrayAction::LeftDown);
                    deliver(receiver, id, TrayAction::LeftUp);
                    break;
                case QSystemTrayIcon::DoubleClick:
                    deliver(receiver, id, TrayAction::LeftDoubleClick);
                    break;
                case QSystemTrayIcon::Context:
                    deliver(receiver, id, TrayAction::RightDown);
                    deliver(receiver, id, TrayAction::RightUp);
                    break;
                default:
                    break;
                }
            });
    // Connected once per receiver: a receiver destroyed without removing its icons loses them.
    if (std::count_if(m_entries.begin(), m_entries.end(),
                      [&](const Entry &e) { return e.receiver == receiver; }) == 1)
        connect(receiver, &QObject::destroyed, this, &DesktopTrayService::dropReceiver);
    icon->show();
    return isAvailable();
}

bool DesktopTrayService::modify(const TrayIconData &data)
{
    Entry *e = find(data.window, data.id);
    if (!e)
        return false;
    apply(*e, data);
    return true;
}

bool DesktopTrayService::remove(const TrayIconData &data)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry &e) {
        return e.receiver == data.window && e.id == data.id;
    });
    if (it == m_entries.end())
        return false;
    QSystemTrayIcon *icon = it->icon;
    TrayReceiver *receiver = it->receiver;
    m_entries.erase(it);
    if (std::none_of(m_entries.begin(), m_entries.end(),
                     [&](const Entry &e) { return e.receiver == receiver; }))
        disconnect(receiver, &QObject::destroyed, this, &DesktopTrayService::dropReceiver);
    discard(icon);
    return true;
}

void DesktopTrayService::discard(QSystemTrayIcon *icon)
{
    // The removal may come from inside the icon's own activated() signal.
    icon->disconnect();
    icon->hide();
    icon->deleteLater();
}

void DesktopTrayService::deliver(const TrayReceiver *receiver, int id, TrayAction action)
{
    // Looked up each time: the previous callback may have removed the icon.
    Entry *e = find(receiver, id);
    if (!e || !e->sendsMessages)
        return;
    e->receiver->trayMessage(e->message, id, action, QCursor::pos());
}

void DesktopTrayService::dropReceiver(QObject *receiver)
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->receiver == receiver) {
            discard(it->icon);
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace kv
