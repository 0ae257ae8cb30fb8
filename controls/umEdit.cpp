#include "umEdit.h"

#include "errors.h"

#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include <climits>

// The line edit's own text geometry (QLineEditPrivate::horizontalMargin/verticalMargin),
// so that the text does not jump when the box gains or loses the focus.
static constexpr int kHorizontalMargin = 2;
static constexpr int kVerticalMargin = 1;

TumEdit::TumEdit(QWidget *parent) : QLineEdit(parent)
{
    // The system's edit background: a disabled box keeps the normal look, with grey text.
    m_colorDisabled = palette().color(QPalette::Active, QPalette::Base);
    connect(this, &QLineEdit::textChanged, this, &TumEdit::Change);
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

void TumEdit::Change()
{
    if (!m_loading)
        emit OnChange(this);
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

    // Discarded without a trace in the box. Enter, Escape and other control keys still go
    // on to the window (default and cancel buttons).
    const bool controlKey =
        hasControlCharacter(typed) ||
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (controlKey)
        event->ignore();
    else
        event->accept();
}

void TumEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // Characters committed by an input method are typed characters too.
    const QString commit = event->commitString();
    if (!m_allowed.isEmpty() && !commit.isEmpty()) {
        beforeTyping();
        QString kept;
        for (const QChar c : commit)
            if (m_allowed.contains(c))
                kept += c;
        if (kept != commit)
            event->setCommitString(kept, event->replacementStart(), event->replacementLength());
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
    QLineEdit::focusOutEvent(event);
    // The context menu takes the focus only for a moment; the box stays in edit mode.
    if (event->reason() == Qt::PopupFocusReason)
        return;
    m_focused = false;
    update();
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
    const QString current = text();
    if (current.isEmpty()) {
        m_value = 0; // an empty box is allowed; the last accepted text stays
    } else {
        int number = 0;
        if (convert(current, &number) && withinBound(current, number)) {
            m_value = number;
            m_lastText = current;
        } else {
            // The restored text raises a change of its own, checked and reported before
            // this one goes on.
            setText(m_lastText);
            setCursorPosition(m_savedCaret);
            deselect();
        }
    }
    emit OnChange(this);
}

void TumNumberEdit::beforeTyping()
{
    m_lastText = text();
    m_savedCaret = cursorPosition();
}
