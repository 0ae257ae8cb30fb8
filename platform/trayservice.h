#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>

#include <vector>

class QSystemTrayIcon;

namespace kv {

// Mouse actions on a notification-area icon, as the service reports them.
enum class TrayAction { LeftDown, LeftUp, LeftDoubleClick, RightDown, RightUp };

// Where an icon's mouse actions are delivered; the service forgets the icons of a receiver
// that is destroyed.
class TrayReceiver : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void trayMessage(unsigned message, int id, kv::TrayAction action,
                             const QPoint &pos) = 0;
};

// One request to the notification area. An icon is known by its receiver and identifier.
struct TrayIconData
{
    enum Flag : unsigned { Message = 1, Icon = 2, Tip = 4 };

    unsigned size = 0;
    TrayReceiver *window = nullptr;
    int id = 0;
    unsigned flags = 0;           // which of message, icon and tip are valid
    unsigned callbackMessage = 0; // passed back with every mouse action
    QIcon icon;
    QString tip;
};

// The notification area. add/modify/remove return false when the area refuses the request
// (an icon already there, an unknown icon); errors of the service itself are thrown.
class TrayService
{
public:
    virtual ~TrayService() = default;
    virtual bool isAvailable() const = 0;
    virtual bool add(const TrayIconData &data) = 0;
    virtual bool modify(const TrayIconData &data) = 0;
    virtual bool remove(const TrayIconData &data) = 0;
};

// The desktop's notification area through QSystemTrayIcon, one per icon. A click is reported
// as left down and up, a double click as left double click, a context request as right down
// and up, all at the cursor's position.
class DesktopTrayService : public QObject, public TrayService
{
    Q_OBJECT
public:
    explicit DesktopTrayService(QObject *parent = nullptr);
    ~DesktopTrayService() override;

    bool isAvailable() const override;
    bool add(const TrayIconData &data) override;
    bool modify(const TrayIconData &data) override;
    bool remove(const TrayIconData &data) override;

private:
    struct Entry
    {
        TrayReceiver *receiver;
        int id;
        unsigned message;
        bool sendsMessages;
        QSystemTrayIcon *icon;
    };

    Entry *find(const TrayReceiver *receiver, int id);
    void apply(Entry &entry, const TrayIconData &data);
    void deliver(const TrayReceiver *receiver, int id, TrayAction action);
    void dropReceiver(QObject *receiver);
    static void discard(QSystemTrayIcon *icon);

    std::vector<Entry> m_entries;
};

} // namespace kv
