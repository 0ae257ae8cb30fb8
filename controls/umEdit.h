#pragma once

#include <QColor>
#include <QLineEdit>

class QLabel;
class QTimer;

// Single-line edit box that draws its own text while it does not have the keyboard focus,
// so that the text can stand right-aligned or centred then, and so that a disabled box
// shows a background colour of its own with grey text. With the focus the line edit
// paints itself (left-aligned, with caret and selection).
class TumEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(Qt::Alignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(QColor ColorDisabled READ ColorDisabled WRITE setColorDisabled)
    Q_PROPERTY(bool Amount READ Amount WRITE setAmount)

public:
    explicit TumEdit(QWidget *parent = nullptr);

    // Horizontal placement while unfocused: Qt::AlignLeft, Qt::AlignRight or
    // Qt::AlignHCenter (mirrored in a right-to-left layout unless Qt::AlignAbsolute).
    // Hides QLineEdit::setAlignment on purpose, so that a designer's "alignment" lands
    // here; the line edit itself stays left-aligned for editing.
    Qt::Alignment Alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);

    // Background of the box while it is disabled (the system's edit background by default).
    QColor ColorDisabled() const { return m_colorDisabled; }
    void setColorDisabled(const QColor &color);

    // Characters that may be typed; empty lets everything through. Other typed characters
    // are discarded with a hint at the box (backspace and the editing shortcuts always pass;
    // Enter and Escape go on to the window). A paste, a drop or an input method's text that
    // holds any other character is refused whole, with the same hint.
    const QString &allowedCharacters() const { return m_allowed; }
    void setAllowedCharacters(const QString &allowed) { m_allowed = allowed; }

    // The box holds an amount of whole lira: its hint says so, and a refused "," or "." is
    // remembered, since the digits typed around it join into a different amount.
    bool Amount() const { return m_amount; }
    void setAmount(bool amount) { m_amount = amount; }
    // A separator was refused since the program last set the text or the box was emptied.
    bool separatorRefused() const { return m_separatorRefused; }
    // Before an amount box's text is saved: after a refused separator, asks whether the
    // amount is meant as it now stands. True when it may be saved.
    bool amountConfirmed();

    // The hint at the box, while it shows (empty otherwise).
    QString shownHint() const;

    // True from gaining the keyboard focus until losing it (a popup such as the context
    // menu does not count as losing it).
    bool focusedFlag() const { return m_focused; }

    // While the owning window is still setting the box up, text changes are not reported
    // (and a number box does not check them).
    bool isLoading() const { return m_loading; }
    void setLoading(bool loading) { m_loading = loading; }

signals:
    // The box's change event: every change of the text (a number box reports it only
    // after the change has been checked).
    void OnChange(QObject *sender);
    // A typed character that reached the box (a number box's filter discards the others
    // before this is raised).
    void OnKeyPress(QObject *sender, const QString &text);

protected:
    // Runs for every change of the text, whatever its source.
    virtual void Change();
    // True while the change being handled came from the operator (typing, pasting,
    // dropping) and not from a program's setText.
    bool changeIsEdit() const { return m_changeIsEdit; }
    // The change being handled brought a character that may not be typed.
    bool changeIsRefused() const { return m_changeIsRefused; }
    // Puts back an earlier text as the box's own undo, which is no new text from the program.
    void undoTo(const QString &text, int caret);
    void showHint(const QString &text);

    static bool isCharacterKey(const QKeyEvent *event);
    // Called before a typed character or an editing shortcut reaches a filtered box.
    virtual void beforeTyping() {}

    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void paintUnfocused();
    void textWasChanged();
    bool onlyAllowed(const QString &text) const;
    void refuseTyped(const QString &text);
    QString refusalHint() const;
    void hideHint();

    Qt::Alignment m_alignment = Qt::AlignLeft;
    QColor m_colorDisabled;
    QString m_allowed;
    bool m_focused = false;
    bool m_loading = false;
    bool m_amount = false;
    bool m_separatorRefused = false;
    bool m_edited = false;
    bool m_undoing = false;
    bool m_changeIsEdit = false;
    bool m_changeIsRefused = false;
    // The text after the last change that stood, for undoing a refused paste.
    QString m_standing;
    QLabel *m_hint = nullptr;
    QTimer *m_hintTimer = nullptr;
};

enum TumNumberEditKind { neDec, neHex, neBin };

// Edit box for a whole number: only the digits of its base and backspace can be typed,
// Value follows the text, and a change that would leave the allowed range is undone (an
// operator's change with a hint that names the bound).
class TumNumberEdit : public TumEdit
{
    Q_OBJECT
    Q_PROPERTY(TumNumberEditKind Kind READ Kind WRITE setKind)
    Q_PROPERTY(int MaxValue READ MaxValue WRITE setMaxValue)
    Q_PROPERTY(int Value READ Value WRITE setValue)

public:
    explicit TumNumberEdit(QWidget *parent = nullptr);

    // Number base of the text. Neither Text nor Value is touched.
    TumNumberEditKind Kind() const { return m_kind; }
    void setKind(TumNumberEditKind kind);

    // Upper bound of Value; 0 means no bound. Lowering it below Value lowers Value.
    int MaxValue() const { return m_maxValue; }
    void setMaxValue(int maxValue);

    // The number the text stands for (as last accepted). Setting it clamps to
    // 0..MaxValue and writes the number into the text, which is then checked as usual.
    int Value() const { return m_value; }
    void setValue(int value);

    // The text form of a number in the box's base ("FF", "101", "0").
    QString formatValue(int value) const;

protected:
    void Change() override;
    void beforeTyping() override;

private:
    bool convert(const QString &text, int *number) const;
    bool withinBound(const QString &text, int number) const;
    QString boundHint() const;

    TumNumberEditKind m_kind = neDec;
    int m_maxValue = 0;
    int m_value = 0;
    QString m_lastText;
    int m_savedCaret = 0;
    bool m_checkAttached = false;
};
