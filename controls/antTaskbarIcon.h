#pragma once

#include "errors.h"
#include "trayservice.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

// Error of the notification-area icon; the standard error guard shows it.
class EantTaskbarIcon : public kv::RuntimeError
{
public:
    using kv::RuntimeError::RuntimeError;
};

// One icon with a tooltip in the desktop's notification area. Mouse actions on the icon are
// reported as signals and a right click opens PopupMenu. The object's name is the name used
// in its error messages.
class TantTaskbarIcon : public QObject
{
    Q_OBJECT
public:
    // Notification flags: which fields of the record are valid.
    enum NotificationFlag : unsigned { NifMessage = 1, NifIcon = 2, NifTip = 4 };
    static constexpr unsigned RecordSize = 88;
    static constexpr unsigned CallbackMessage = 1025; // first user message + 1
    static constexpr int MaxHintLength = 63;

    TantTaskbarIcon(kv::TrayService *service, QObject *owner = nullptr);
    ~TantTaskbarIcon() override;

    QIcon Icon() const { return m_icon; }
    void setIcon(const QIcon &icon);
    // When set, the picture is taken from this list; the list must outlive the setting.
    const QList<QIcon> *ImageList() const { return m_imageList; }
    void setImageList(const QList<QIcon> *list);
    int ImageIndex() const { return m_imageIndex; }
    void setImageIndex(int index);
    int IconID() const { return m_iconId; }
    void setIconID(int id);
    bool Visible() const { return m_visible; }
    void setVisible(bool visible);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    QString Hint() const { return m_hint; }
    void setHint(const QString &hint);
    // Cleared by itself when the menu is destroyed.
    QMenu *PopupMenu() const { return m_popupMenu.data(); }
    void setPopupMenu(QMenu *menu);

    unsigned notificationFlags() const { return m_flags; }
    bool leftPressed() const { return m_leftPressed; }
    // The record as filled for the last call to the notification area.
    const kv::TrayIconData &notificationRecord() const { return m_record; }

    // Add, modify and remove the icon. A refusal of the notification area passes silently;
    // an error of the service becomes EantTaskbarIcon.
    virtual void AddToTaskbar();
    virtual void UpDate();
    virtual void DeleteFromTaskbar();

signals:
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void OnClick();
    void OnDblClick();
    void OnPopupMenu();
    void OnShow();
    void OnHide();

protected:
    virtual void handleTrayMessage(unsigned message, kv::TrayAction action, const QPoint &pos);
    virtual void fillRecord();
    virtual void changeIconFromList();
    virtual void DoMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    virtual void DoMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    virtual void DoClick();
    virtual void DoDblClick();
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoPopupMenu(const QPoint &pos);

private:
    class MessageWindow;
    enum class Command { Add, Modify, Delete };
    void notify(Command command);
    static Qt::KeyboardModifiers shiftState();

    kv::TrayService *m_service;
    MessageWindow *m_window;
    QIcon m_icon;
    const QList<QIcon> *m_imageList = nullptr;
    int m_imageIndex = 0;
    int m_iconId = 0;
    bool m_visible = false;
    bool m_enabled = true;
    QString m_hint;
    QPointer<QMenu> m_popupMenu;
    unsigned m_flags = NifMessage | NifTip;
    bool m_leftPressed = false;
    kv::TrayIconData m_record;
};
