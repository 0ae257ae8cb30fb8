#pragma once

#include <QColor>
#include <QLineEdit>

// Single-line edit box that draws its own text while it does not have the keyboard focus,
// so that the text can stand right-aligned or centred then, and so that a disabled box
// shows a background colour of its own with grey text. With the focus the line edit
// paints itself (left-aligned, with caret and selection).
class TumEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(Qt::Alignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(QColor ColorDisabled READ ColorDisabled WRITE setColorDisabled)

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
    // are discarded (backspace and the editing shortcuts always pass; Enter and Escape go on
    // to the window). Pasted text is not filtered.
    const QString &allowedCharacters() const { return m_allowed; }
    void setAllowedCharacters(const QString &allowed) { m_allowed = allowed; }

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

    static bool isCharacterKey(const QKeyEvent *event);
    // Called before a typed character or an editing shortcut reaches a filtered box.
    virtual void beforeTyping() {}

    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void paintUnfocused();

    Qt::Alignment m_alignment = Qt::AlignLeft;
    QColor m_colorDisabled;
    QString m_allowed;
    bool m_focused = false;
    bool m_loading = false;
};

enum TumNumberEditKind { neDec, neHex, neBin };

// Edit box for a whole number: only the digits of its base and backspace can be typed,
// Value follows the text, and a change that would leave the allowed range is undone.
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

    TumNumberEditKind m_kind = neDec;
    int m_maxValue = 0;
    int m_value = 0;
    QString m_lastText;
    int m_savedCaret = 0;
    bool m_checkAttached = false;
};
