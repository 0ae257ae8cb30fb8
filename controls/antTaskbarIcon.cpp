#include "antTaskbarIcon.h"

#include <QGuiApplication>

// Receives the notification area's callbacks for one component.
class TantTaskbarIcon::MessageWindow : public kv::TrayReceiver
{
public:
    explicit MessageWindow(TantTaskbarIcon *owner) : m_owner(owner) {}
    void trayMessage(unsigned message, int, kv::TrayAction action, const QPoint &pos) override
    {
        m_owner->handleTrayMessage(message, action, pos);
    }

private:
    TantTaskbarIcon *m_owner;
};

TantTaskbarIcon::TantTaskbarIcon(kv::TrayService *service, QObject *owner)
    : QObject(owner), m_service(service), m_window(new MessageWindow(this))
{
}

TantTaskbarIcon::~TantTaskbarIcon()
{
    // An error cannot leave a destructor; the icon is gone from our side either way.
    try {
        setVisible(false);
    } catch (...) {
    }
    delete m_window;
}

void TantTaskbarIcon::fillRecord()
{
    m_record.size = RecordSize;
    m_record.window = m_window;
    m_record.id = m_iconId;
    m_record.flags = m_flags;
    m_record.callbackMessage = CallbackMessage;
    m_record.icon = m_icon;
    m_record.tip = m_hint;
}

void TantTaskbarIcon::notify(Command command)
{
    static const char *const names[] = {"AddToTaskbar", "UpDate", "DeleteFromTaskbar"};
    try {
        fillRecord();
        if (!m_service)
            throw kv::RuntimeError(QStringLiteral("no notification area"));
        // The notification area's answer is not examined: a refusal passes silently.
        switch (command) {
        case Command::Add:
            m_service->add(m_record);
            break;
        case Command::Modify:
            m_service->modify(m_record);
            break;
        case Command::Delete:
            m_service->remove(m_record);
            break;
        }
    } catch (...) {
        throw EantTaskbarIcon(
            QStringLiteral("%1.%2 failed").arg(objectName(), QLatin1String(names[int(command)])));
    }
}

void TantTaskbarIcon::AddToTaskbar()
{
    notify(Command::Add);
}

void TantTaskbarIcon::UpDate()
{
    notify(Command::Modify);
}

void TantTaskbarIcon::DeleteFromTaskbar()
{
    notify(Command::Delete);
}

void TantTaskbarIcon::changeIconFromList()
{
    if (!m_imageList)
        return;
    m_icon = QIcon();
    if (m_imageIndex >= 0 && m_imageIndex < m_imageList->size())
        m_icon = m_imageList->at(m_imageIndex);
    UpDate();
}

void TantTaskbarIcon::setIcon(const QIcon &icon)
{
    m_icon = icon;
    UpDate();
}

void TantTaskbarIcon::setImageList(const QList<QIcon> *list)
{
    m_imageList = list;
    changeIconFromList();
}

void TantTaskbarIcon::setImageIndex(int index)
{
    m_imageIndex = index;
    changeIconFromList();
}

void TantTaskbarIcon::setIconID(int id)
{
    if (id == m_iconId)
        return;
    const bool wasVisible = m_visible;
    setVisible(false);
    m_iconId = id;
    setVisible(wasVisible);
}

void TantTaskbarIcon::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    const unsigned flags = m_flags;
    m_visible = visible;
    try {
        if (visible)
            DoShow();
        else
            DoHide();
    } catch (...) {
        // The icon did not change, so neither does the state that describes it.
        m_visible = !visible;
        m_flags = flags;
        throw;
    }
}

void TantTaskbarIcon::setEnabled(bool enabled)
{
    m_enabled = enabled;
}

void TantTaskbarIcon::setHint(const QString &hint)
{
    QString cut = hint.left(MaxHintLength);
    if (!cut.isEmpty() && cut.size() < hint.size() && cut.back().isHighSurrogate())
        cut.chop(1); // never leave half a character behind
    m_hint = cut;
    UpDate();
}

void TantTaskbarIcon::setPopupMenu(QMenu *menu)
{
    m_popupMenu = menu;
}

void TantTaskbarIcon::DoShow()
{
    m_flags |= NifIcon;
    AddToTaskbar();
    m_visible = true;
    emit OnShow();
}

void TantTaskbarIcon::DoHide()
{
    m_flags &= ~unsigned(NifIcon);
    DeleteFromTaskbar();
    m_visible = false;
    emit OnHide();
}

Qt::KeyboardModifiers TantTaskbarIcon::shiftState()
{
    return QGuiApplication::queryKeyboardModifiers() &
           (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
}

void TantTaskbarIcon::handleTrayMessage(unsigned message, kv::TrayAction action, const QPoint &pos)
{
    if (message != CallbackMessage || !m_enabled)
        return;
    const int x = pos.x();
    const int y = pos.y();
    switch (action) {
    case kv::TrayAction::LeftDown:
        m_leftPressed = true;
        DoMouseDown(Qt::LeftButton, shiftState(), x, y);
        break;
    case kv::TrayAction::LeftUp: {
        QPointer<TantTaskbarIcon> self(this);
        DoMouseUp(Qt::LeftButton, shiftState(), x, y);
        if (!self)
            return;
        if (m_leftPressed)
            DoClick();
        if (self)
            m_leftPressed = false;
        break;
    }
    case kv::TrayAction::LeftDoubleClick:
        DoDblClick();
        break;
    case kv::TrayAction::RightDown:
        // The foreground request of the original desktop is not needed: QMenu takes the
        // input itself when it opens.
        DoMouseDown(Qt::RightButton, shiftState(), x, y);
        break;
    case kv::TrayAction::RightUp: {
        QPointer<TantTaskbarIcon> self(this);
        DoPopupMenu(pos);
        if (self)
            DoMouseUp(Qt::RightButton, shiftState(), x, y);
        break;
    }
    }
}

void TantTaskbarIcon::DoMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    emit OnMouseDown(button, shift, x, y);
}

void TantTaskbarIcon::DoMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    // No foreground step here: raising a window on every click would pull the hidden main
    // window's siblings forward; the double-click handler shows and activates what it needs.
    emit OnMouseUp(button, shift, x, y);
}

void TantTaskbarIcon::DoClick()
{
    emit OnClick();
}

void TantTaskbarIcon::DoDblClick()
{
    emit OnDblClick();
}

void TantTaskbarIcon::DoPopupMenu(const QPoint &pos)
{
    if (!m_popupMenu)
        return;
    QPointer<TantTaskbarIcon> self(this);
    m_popupMenu->exec(pos);
    if (self)
        emit OnPopupMenu();
}
