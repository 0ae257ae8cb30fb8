#include "umEdit.h"

#include "applocale.h"
#include "errors.h"
#include "messages.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QToolTip>

#include <climits>
#include <utility>

// The line edit's own text geometry (QLineEditPrivate::horizontalMargin/verticalMargin),
// so that the text does not jump when the box gains or loses the focus.
static constexpr int kHorizontalMargin = 2;
static constexpr int kVerticalMargin = 1;
// Long enough to read a short sentence once.
static constexpr int kHintMs = 6000;

TumEdit::TumEdit(QWidget *parent) : QLineEdit(parent)
{
    // The system's edit background: a disabled box keeps the normal look, with grey text.
    m_colorDisabled = palette().color(QPalette::Active, QPalette::Base);
    // The line edit tells an operator's edit just before the change it makes.
    connect(this, &QLineEdit::textEdited, this, [this] { m_edited = true; });
    connect(this, &QLineEdit::textChanged, this, &TumEdit::textWasChanged);
}

void TumEdit::setAlignment(Qt::Alignment alignment)
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (alignment & Qt::AlignHCenter)
        horizontal = Qt::AlignHCenter;
    else if (alignment & Qt::AlignRight)
        horizontal = Qt::AlignRight;
    horizontal |= alignment & Qt::AlignAbsolute;

    // The vertical part belongs to the line edit, which edits left-aligned.
    const Qt::Alignment vertical = alignment & Qt::AlignVertical_Mask;
    if (vertical && vertical != (QLineEdit::alignment() & Qt::AlignVertical_Mask)) {
        QLineEdit::setAlignment(Qt::AlignLeft | vertical);
        update();
    }
    if (horizontal == m_alignment)
        return;
    m_alignment = horizontal;
    update();
}

void TumEdit::setColorDisabled(const QColor &color)
{
    if (color == m_colorDisabled)
        return;
    m_colorDisabled = color;
    update();
}

void TumEdit::textWasChanged()
{
    m_changeIsEdit = std::exchange(m_edited, false);
    // A text from the program, or an emptied box, starts a new amount.
    if ((!m_changeIsEdit && !m_undoing) || text().isEmpty())
        m_separatorRefused = false;
    m_changeIsRefused = m_changeIsEdit && !onlyAllowed(text());
    if (m_changeIsRefused)
        showHint(refusalHint());
    Change();
}

void TumEdit::Change()
{
    if (m_changeIsRefused) {
        undoTo(m_standing, int(m_standing.size())); // its own change reports the text
        return;
    }
    m_standing = text();
    if (!m_loading)
        emit OnChange(this);
}

bool TumEdit::onlyAllowed(const QString &text) const
{
    if (m_allowed.isEmpty())
        return true;
    for (const QChar c : text)
        if (!m_allowed.contains(c))
            return false;
    return true;
}

void TumEdit::undoTo(const QString &text, int caret)
{
    m_undoing = true;
    setText(text);
    m_undoing = false;
    setCursorPosition(caret);
    deselect();
}

QString TumEdit::refusalHint() const
{
    return m_amount ? QStringLiteral("Tutarlar tam lira olarak, yalnızca rakamla girilir")
                    : QStringLiteral("Yalnızca rakam girilebilir");
}

void TumEdit::refuseTyped(const QString &text)
{
    if (m_amount && (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('.'))))
        m_separatorRefused = true;
    showHint(refusalHint());
}

void TumEdit::showHint(const QString &text)
{
    if (!m_hint) {
        // A window of its own, so that no edge of the dialog cuts it off.
        m_hint = new QLabel(this, Qt::ToolTip);
        m_hint->setObjectName(QStringLiteral("refusalHint"));
        m_hint->setAttribute(Qt::WA_ShowWithoutActivating);
        m_hint->setPalette(QToolTip::palette());
        m_hint->setFont(QToolTip::font());
        m_hint->setForegroundRole(QPalette::ToolTipText);
        m_hint->setBackgroundRole(QPalette::ToolTipBase);
        m_hint->setAutoFillBackground(true);
        m_hint->setFrameStyle(QFrame::Box | QFrame::Plain);
        m_hint->setMargin(3);
        m_hintTimer = new QTimer(this);
        m_hintTimer->setSingleShot(true);
        m_hintTimer->setInterval(kHintMs);
        connect(m_hintTimer, &QTimer::timeout, this, &TumEdit::hideHint);
    }
    m_hint->setText(text);
    m_hint->adjustSize();
    // Under the box; above it where the screen ends.
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen *s = screen()) {
        const QRect area = s->availableGeometry();
        if (at.y() + m_hint->height() > area.bottom() + 1)
            at.setY(mapToGlobal(QPoint(0, 0)).y() - m_hint->height());
        at.setX(qMax(area.left(), qMin(at.x(), area.right() + 1 - m_hint->width())));
    }
    m_hint->move(at);
    m_hint->show();
    m_hint->raise();
    m_hintTimer->start();
}

void TumEdit::hideHint()
{
    if (!m_hint)
        return;
    m_hintTimer->stop();
    m_hint->hide();
}

QString TumEdit::shownHint() const
{
    return m_hint && m_hint->isVisible() ? m_hint->text() : QString();
}

bool TumEdit::amountConfirmed()
{
    int value = 0;
    if (!m_separatorRefused || !kv::tryStrToInt(text(), &value))
        return true;
    // Zero has no digits in the amount pattern; the question must show one.
    const QString amount = value == 0 ? QStringLiteral("0 TL") : kv::formatAmount(value);
    if (!kv::messages::ask(QStringLiteral("Tutar %1 olarak kaydedilsin mi?").arg(amount)))
        return false;
    m_separatorRefused = false;
    return true;
}

bool TumEdit::isCharacterKey(const QKeyEvent *event)
{
    // X11 gives Delete the text "\x7f"; it edits without typing a character.
    return !event->text().isEmpty() && event->key() != Qt::Key_Delete;
}

namespace {
bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}
} // namespace

void TumEdit::keyPressEvent(QKeyEvent *event)
{
    // Ctrl+V and the other editing shortcuts work as in any edit box; whatever they do to
    // the text is judged by the change check.
    const bool editShortcut =
        event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
        event->matches(QKeySequence::Copy) || event->matches(QKeySequence::Undo) ||
        event->matches(QKeySequence::Redo) || event->matches(QKeySequence::SelectAll);
    if (m_allowed.isEmpty() || (!isCharacterKey(event) && !editShortcut)) {
        // Delete and the cursor keys are never filtered.
        if (isCharacterKey(event))
            emit OnKeyPress(this, event->text());
        QLineEdit::keyPressEvent(event);
        return;
    }

    beforeTyping();
    const QString typed = event->text();
    bool allowed = !typed.isEmpty();
    for (const QChar c : typed)
        allowed = allowed && m_allowed.contains(c);
    if (allowed || editShortcut || event->key() == Qt::Key_Backspace) {
        if (isCharacterKey(event))
            emit OnKeyPress(this, typed);
        QLineEdit::keyPressEvent(event);
        return;
    }

    // Enter, Escape and other control keys go on to the window (default and cancel
    // buttons); any other key is refused, and the box says why.
    const bool controlKey =
        hasControlCharacter(typed) ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (controlKey) {
        event->ignore();
    } else {
        refuseTyped(typed);
        event->accept();
    }
}

void TumEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // Characters committed by an input method are typed characters too; like a paste, a
    // commit with a refused character is refused whole rather than kept in part.
    const QString commit = event->commitString();
    if (!m_allowed.isEmpty() && !commit.isEmpty()) {
        beforeTyping();
        if (!onlyAllowed(commit)) {
            refuseTyped(commit);
            event->setCommitString(QString());
        }
    }
    QLineEdit::inputMethodEvent(event);
}

void TumEdit::focusInEvent(QFocusEvent *event)
{
    m_focused = true;
    QLineEdit::focusInEvent(event);
}

void TumEdit::focusOutEvent(QFocusEvent *event)
{
    hideHint();
    QLineEdit::focusOutEvent(event);
    // The context menu takes the focus only for a moment; the box stays in edit mode.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    m_focused = false;
    update();
}

void TumEdit::hideEvent(QHideEvent *event)
{
    hideHint();
    QLineEdit::hideEvent(event);
}

void TumEdit::paintEvent(QPaintEvent *event)
{
    if (m_focused && isEnabled())
        QLineEdit::paintEvent(event);
    else
        paintUnfocused();
}

void TumEdit::paintUnfocused()
{
    QPainter p(this);
    QStyleOptionFrame opt;
    initStyleOption(&opt);

    const bool enabled = isEnabled();
    const QBrush background = enabled ? palette().brush(QPalette::Base) : QBrush(m_colorDisabled);
    opt.palette.setBrush(QPalette::Base, background);
    if (!hasFrame())
        p.fillRect(rect(), background);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &opt, &p, this);

    const QRect area = style()
                           ->subElementRect(QStyle::SE_LineEditContents, &opt, this)
                           .marginsRemoved(textMargins());
    p.fillRect(area, background);
    p.setClipRect(area);

    QString shown = displayText(); // already masked in a password mode
    QColor color = enabled ? palette().color(QPalette::Active, QPalette::Text)
                           : palette().color(QPalette::Disabled, QPalette::Text);
    if (shown.isEmpty() && !placeholderText().isEmpty()) {
        shown = placeholderText();
        color = palette().color(QPalette::PlaceholderText);
    }
    if (shown.isEmpty())
        return;

    const QFontMetrics fm = fontMetrics();
    const int textHeight = qMax(fm.boundingRect(shown).height(), fm.height());
    int y = area.y() + (area.height() - textHeight + 1) / 2;
    const Qt::Alignment vertical = QLineEdit::alignment() & Qt::AlignVertical_Mask;
    if (vertical & Qt::AlignTop)
        y = area.y() + kVerticalMargin;
    else if (vertical & Qt::AlignBottom)
        y = area.y() + area.height() - textHeight - kVerticalMargin;
    const QRect line(area.x() + kHorizontalMargin, y, area.width() - 2 * kHorizontalMargin,
                     textHeight);

    const int textWidth = fm.horizontalAdvance(shown);
    const Qt::Alignment effective = QStyle::visualAlignment(layoutDirection(), m_alignment);
    int x = line.left();
    if (effective & Qt::AlignHCenter)
        x = (width() - textWidth) / 2;
    else if (effective & Qt::AlignRight)
        x = line.right() - textWidth; // the right margin one pixel short of the left one

    p.setFont(font());
    p.setPen(color);
    p.drawText(QPoint(x, y + fm.ascent()), shown);
}

namespace {

QString digitsOf(TumNumberEditKind kind)
{
    switch (kind) {
    case neHex:
        return QStringLiteral("0123456789abcdefABCDEF");
    case neBin:
        return QStringLiteral("01");
    case neDec:
        break;
    }
    return QStringLiteral("0123456789");
}

int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

TumNumberEdit::TumNumberEdit(QWidget *parent) : TumEdit(parent)
{
    setAllowedCharacters(digitsOf(neDec));
    // The initial "0" is not checked: the last accepted text stays empty until the first
    // accepted change.
    setText(QStringLiteral("0"));
    m_checkAttached = true;
}

void TumNumberEdit::setKind(TumNumberEditKind kind)
{
    m_kind = kind;
    setAllowedCharacters(digitsOf(kind));
}

void TumNumberEdit::setMaxValue(int maxValue)
{
    m_maxValue = maxValue;
    if (maxValue != 0 && maxValue < m_value)
        setValue(maxValue);
}

void TumNumberEdit::setValue(int value)
{
    if (value < 0)
        value = 0;
    else if (m_maxValue != 0 && value > m_maxValue)
        value = m_maxValue;
    m_value = value;
    setText(formatValue(value));
}

QString TumNumberEdit::formatValue(int value) const
{
    switch (m_kind) {
    case neHex:
        return QString::number(value, 16).toUpper();
    case neBin:
        return QString::number(value, 2);
    case neDec:
        break;
    }
    return QString::number(value);
}

bool TumNumberEdit::convert(const QString &text, int *number) const
{
    if (m_kind == neDec)
        return kv::tryStrToInt(text, number);

    // Pasted text may hold anything: a character that is no digit of the base, or a
    // number beyond the 32-bit range, fails the conversion like a bad decimal does.
    const int base = m_kind == neHex ? 16 : 2;
    qint64 result = 0;
    for (const QChar c : text) {
        const int digit = digitValue(c);
        if (digit < 0 || digit >= base)
            return false;
        result = result * base + digit;
        if (result > INT_MAX)
            return false;
    }
    *number = int(result);
    return true;
}

bool TumNumberEdit::withinBound(const QString &text, int number) const
{
    if (m_maxValue == 0)
        return true;
    // The length test also refuses extra leading zeros ("080" against "80").
    const QString bound = formatValue(m_maxValue);
    if (number > m_maxValue || number < 0 || text.size() > bound.size())
        return false;
    if (text.size() < bound.size())
        return true;
    // Hex digits compare without regard to case: "ff" is as good as "FF".
    return (m_kind == neHex ? text.toUpper() : text) <= bound;
}

void TumNumberEdit::Change()
{
    if (!m_checkAttached || isLoading())
        return;
    // Read before a restored text's own change overwrites them.
    const bool edit = changeIsEdit();
    const bool refusedCharacter = changeIsRefused();
    const QString current = text();
    if (current.isEmpty()) {
        m_value = 0; // an empty box is allowed; the last accepted text stays
    } else {
        int number = 0;
        if (!refusedCharacter && convert(current, &number) && withinBound(current, number)) {
            m_value = number;
            m_lastText = current;
        } else {
            // The operator's digits beyond the range say so; a refused character has shown
            // its hint already.
            if (edit && !refusedCharacter)
                showHint(boundHint());
            // The restored text raises a change of its own, checked and reported before
            // this one goes on.
            undoTo(m_lastText, m_savedCaret);
        }
    }
    emit OnChange(this);
}

QString TumNumberEdit::boundHint() const
{
    const int bound = m_maxValue != 0 ? m_maxValue : INT_MAX;
    const QString shown = m_kind == neDec ? kv::formatAmountDigits(bound) : formatValue(bound);
    return QStringLiteral("En fazla %1 girilebilir")
        .arg(Amount() ? shown + QStringLiteral(" TL") : shown);
}

void TumNumberEdit::beforeTyping()
{
    m_lastText = text();
    m_savedCaret = cursorPosition();
}
