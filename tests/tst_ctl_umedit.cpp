#include "umEdit.h"

#include "messages.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QVBoxLayout>

class TestUmEdit : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void refusedBeforeAnyAcceptRestoresEmpty();
    void typing_data();
    void typing();
    void paste_data();
    void paste();
    void amountAfterRefusedSeparator_data();
    void amountAfterRefusedSeparator();
    void setValue_data();
    void setValue();
    void maxValueLowersValue();
    void sameTextRaisesNothing();
    void loadingSkipsCheck();
    void controlKeysGoOnToWindow();
    void promotedPropertiesFromDescription();
    void paintAlignmentFollowsFocus();
    void paintDisabledAndPassword();
};

namespace {

// Column of the leftmost dark pixel in the rendered box, -1 if none.
int firstDarkColumn(const QImage &image)
{
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (qGray(image.pixel(x, y)) < 110)
                return x;
    return -1;
}

QImage render(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

void TestUmEdit::construction()
{
    TumNumberEdit box;
    QCOMPARE(box.text(), QStringLiteral("0"));
    QCOMPARE(box.Value(), 0);
    QCOMPARE(box.MaxValue(), 0);
    QCOMPARE(box.Kind(), neDec);
    QCOMPARE(box.Alignment(), Qt::Alignment(Qt::AlignLeft));
    QCOMPARE(box.ColorDisabled(), box.palette().color(QPalette::Active, QPalette::Base));
    QVERIFY(!box.focusedFlag());
}

void TestUmEdit::refusedBeforeAnyAcceptRestoresEmpty()
{
    // The initial "0" was never checked, so a refused paste falls back to empty text (a typed
    // character would take the text it was typed into as the last accepted one).
    TumNumberEdit box;
    box.setMaxValue(5);
    QSignalSpy changes(&box, &TumNumberEdit::OnChange);
    QApplication::clipboard()->setText(QStringLiteral("9"));
    box.setCursorPosition(1);
    box.paste();
    QCOMPARE(box.text(), QString());
    QCOMPARE(box.Value(), 0);
    QCOMPARE(changes.size(), 2);
}

void TestUmEdit::typing_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("caretHome");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("changes");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("keyPresses");
    // What the box shows at itself, empty for nothing.
    QTest::addColumn<QString>("hint");

    const QString digits = QStringLiteral("Yalnızca rakam girilebilir");
    QTest::newRow("81 over 80 refused") << int(neDec) << 80 << "8" << false << "1"
                                        << "8" << 8 << 2 << 1 << 1 << "En fazla 80 girilebilir";
    QTest::newRow("caret goes back to where it was")
        << int(neDec) << 80 << "5" << true << "9"
        << "5" << 5 << 2 << 0 << 1 << "En fazla 80 girilebilir";
    QTest::newRow("leading zero within bound length")
        << int(neDec) << 80 << "" << false << "080"
        << "08" << 8 << 4 << 2 << 3 << "En fazla 80 girilebilir";
    QTest::newRow("80 is the bound itself") << int(neDec) << 80 << "" << false << "80"
                                            << "80" << 80 << 2 << 2 << 2 << "";
    QTest::newRow("minus") << int(neDec) << 0 << "5" << false << "-"
                           << "5" << 5 << 0 << 1 << 0 << digits;
    QTest::newRow("separators, space and letters") << int(neDec) << 0 << "5" << false << ",. aZ"
                                                   << "5" << 5 << 0 << 1 << 0 << digits;
    QTest::newRow("int max") << int(neDec) << 0 << "214748364" << false << "7"
                             << "2147483647" << 2147483647 << 1 << 10 << 1 << "";
    QTest::newRow("beyond int undone")
        << int(neDec) << 0 << "214748364" << false << "8"
        << "214748364" << 214748364 << 2 << 9 << 1 << "En fazla 2.147.483.647 girilebilir";
    QTest::newRow("hex lower case") << int(neHex) << 0 << "" << false << "ffg"
                                    << "ff" << 255 << 2 << 2 << 2 << digits;
    QTest::newRow("hex lower case at bound") << int(neHex) << 255 << "" << false << "ff"
                                             << "ff" << 255 << 2 << 2 << 2 << "";
    QTest::newRow("hex over bound") << int(neHex) << 254 << "" << false << "ff"
                                    << "f" << 15 << 3 << 1 << 2 << "En fazla FE girilebilir";
    QTest::newRow("binary") << int(neBin) << 0 << "" << false << "12a01"
                            << "101" << 5 << 3 << 3 << 3 << digits;
}

void TestUmEdit::typing()
{
    QFETCH(int, kind);
    QFETCH(int, maxValue);
    QFETCH(QString, start);
    QFETCH(bool, caretHome);
    QFETCH(QString, keys);

    TumNumberEdit box;
    box.setKind(TumNumberEditKind(kind));
    box.setMaxValue(maxValue);
    box.setText(start);
    if (caretHome)
        box.setCursorPosition(0);
    QSignalSpy changes(&box, &TumNumberEdit::OnChange);
    QSignalSpy keyPresses(&box, &TumNumberEdit::OnKeyPress);

    QTest::keyClicks(&box, keys);

    QTEST(box.text(), "text");
    QTEST(box.Value(), "value");
    QTEST(int(changes.size()), "changes");
    QTEST(box.cursorPosition(), "caret");
    QTEST(int(keyPresses.size()), "keyPresses");
    QTEST(box.shownHint(), "hint");
    QVERIFY(!box.hasSelectedText());
    for (const QList<QVariant> &args : std::as_const(changes))
        QCOMPARE(args.at(0).value<QObject *>(), &box);
}

void TestUmEdit::paste_data()
{
    // Text that arrives whole: by the menu's paste, Ctrl+V or an input method. Anything but
    // digits in it refuses all of it, so no digit of it is kept.
    QTest::addColumn<bool>("amount");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("changes");
    QTest::addColumn<QString>("hint");
    const auto row = [](const char *tag, bool amount, int max, const char *clip, const char *route,
                        const char *text, int value, int changes, const QString &hint) {
        QTest::newRow(tag) << amount << max << clip << route << text << value << changes << hint;
    };
    const QString digits = QStringLiteral("Yalnızca rakam girilebilir");
    row("-5 without bound", false, 0, "-5", "menu", "8", 8, 2, digits);
    row("-5 with bound", false, 80, "-5", "menu", "8", 8, 2, digits);
    row("-5 by Ctrl+V", false, 80, "-5", "Ctrl+V", "8", 8, 2, digits);
    row("79 by Ctrl+V", false, 80, "79", "Ctrl+V", "79", 79, 1, "");
    row("no number", false, 0, "12a", "menu", "8", 8, 2, digits);
    row("amount with decimals", true, 0, "17,50", "Ctrl+V", "8", 8, 2,
        "Tutarlar tam lira olarak, yalnızca rakamla girilir");
    row("input method, mixed", false, 0, "1a-2", "input method", "8", 8, 0, digits);
    row("input method, digits", false, 0, "12", "input method", "12", 12, 1, "");
}

void TestUmEdit::paste()
{
    QFETCH(bool, amount);
    QFETCH(int, maxValue);
    QFETCH(QString, clip);
    QFETCH(QString, route);

    TumNumberEdit box;
    box.setAmount(amount);
    box.setMaxValue(maxValue);
    box.setText(QStringLiteral("8"));
    QCOMPARE(box.Value(), 8);
    QApplication::clipboard()->setText(clip);
    box.selectAll();
    QSignalSpy changes(&box, &TumNumberEdit::OnChange);

    if (route == QLatin1String("Ctrl+V")) {
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    } else if (route == QLatin1String("menu")) {
        box.paste();
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(clip);
        QApplication::sendEvent(&box, &commit);
    }

    QTEST(box.text(), "text");
    QTEST(box.Value(), "value");
    QTEST(int(changes.size()), "changes");
    QTEST(box.shownHint(), "hint");
    // Nothing of a refused paste counts as typed around a separator.
    QVERIFY(!box.separatorRefused());
}

void TestUmEdit::amountAfterRefusedSeparator_data()
{
    // Keys typed into a box that held "0", then what happened to it before it was saved.
    QTest::addColumn<bool>("amount");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("then");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("question");
    const auto row = [](const char *tag, bool amount, const char *keys, const char *then,
                        const char *text, const char *question) {
        QTest::newRow(tag) << amount << keys << then << text << question;
    };
    row("decimals", true, "17,50", "", "1750", "Tutar 1.750 TL olarak kaydedilsin mi?");
    row("letters and signs", true, "12a,5.b-3", "", "1253",
        "Tutar 1.253 TL olarak kaydedilsin mi?");
    row("letters alone", true, "17a", "", "17", "");
    row("count box", false, "17,50", "", "1750", "");
    row("program sets a new text", true, "17,50", "set 300", "300", "");
    row("emptied and typed again", true, "17,50", "type 18 anew", "18", "");
    row("digits added later", true, "1,5", "type 0", "150", "Tutar 150 TL olarak kaydedilsin mi?");
    row("zero", true, ",0", "", "0", "Tutar 0 TL olarak kaydedilsin mi?");
}

void TestUmEdit::amountAfterRefusedSeparator()
{
    QFETCH(bool, amount);
    QFETCH(QString, keys);
    QFETCH(QString, then);
    QFETCH(QString, question);
    kv::messages::Recorder recorder;
    kv::messages::setRecorder(&recorder);

    TumNumberEdit box;
    box.setAmount(amount);
    box.selectAll();
    QTest::keyClicks(&box, keys);
    if (then == QLatin1String("set 300")) {
        box.setText(QStringLiteral("300"));
    } else if (then == QLatin1String("type 0")) {
        QTest::keyClicks(&box, QStringLiteral("0"));
    } else if (!then.isEmpty()) {
        box.selectAll();
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClicks(&box, QStringLiteral("18"));
    }
    QTEST(box.text(), "text");

    // "Hayır" keeps the amount from being saved, and asks again next time; "Evet" lets it go.
    recorder.answers = {false, true};
    QCOMPARE(box.amountConfirmed(), question.isEmpty());
    if (!question.isEmpty()) {
        QVERIFY(box.amountConfirmed());
        QVERIFY(box.amountConfirmed());
    }
    QCOMPARE(recorder.questions, question.isEmpty() ? QStringList() : QStringList(2, question));
    kv::messages::setRecorder(nullptr);
}

void TestUmEdit::setValue_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<int>("set");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");

    QTest::newRow("negative") << int(neDec) << 0 << -3 << "0" << 0;
    QTest::newRow("over bound") << int(neDec) << 80 << 100 << "80" << 80;
    QTest::newRow("hex") << int(neHex) << 0 << 255 << "FF" << 255;
    QTest::newRow("binary") << int(neBin) << 0 << 5 << "101" << 5;
    QTest::newRow("binary zero") << int(neBin) << 0 << 0 << "0" << 0;
}

void TestUmEdit::setValue()
{
    QFETCH(int, kind);
    QFETCH(int, maxValue);
    QFETCH(int, set);

    TumNumberEdit box;
    box.setKind(TumNumberEditKind(kind));
    box.setMaxValue(maxValue);
    box.setText(QStringLiteral("1"));
    box.setValue(set);
    QTEST(box.text(), "text");
    QTEST(box.Value(), "value");
}

void TestUmEdit::maxValueLowersValue()
{
    TumNumberEdit box;
    box.setValue(70);
    QSignalSpy changes(&box, &TumNumberEdit::OnChange);
    box.setMaxValue(50);
    QCOMPARE(box.Value(), 50);
    QCOMPARE(box.text(), QStringLiteral("50"));
    QCOMPARE(changes.size(), 1);
    box.setMaxValue(0);
    QCOMPARE(box.Value(), 50);
    box.setMaxValue(60);
    QCOMPARE(box.Value(), 50);
}

void TestUmEdit::sameTextRaisesNothing()
{
    TumNumberEdit box;
    box.setText(QStringLiteral("12"));
    QSignalSpy changes(&box, &TumNumberEdit::OnChange);
    box.setText(QStringLiteral("12"));
    box.setValue(12);
    QCOMPARE(changes.size(), 0);

    // Backspace over the last digit: an empty box is allowed and reported.
    box.setText(QStringLiteral("5"));
    changes.clear();
    QTest::keyClick(&box, Qt::Key_Backspace);
    QCOMPARE(box.text(), QString());
    QCOMPARE(box.Value(), 0);
    QCOMPARE(changes.size(), 1);
}

void TestUmEdit::loadingSkipsCheck()
{
    TumNumberEdit box;
    box.setMaxValue(80);
    QSignalSpy changes(&box, &TumNumberEdit::OnChange);
    box.setLoading(true);
    box.setText(QStringLiteral("999"));
    box.setLoading(false);
    QCOMPARE(box.text(), QStringLiteral("999"));
    QCOMPARE(box.Value(), 0);
    QCOMPARE(changes.size(), 0);

    TumEdit plain;
    QSignalSpy plainChanges(&plain, &TumEdit::OnChange);
    plain.setText(QStringLiteral("abc"));
    QCOMPARE(plainChanges.size(), 1);
}

void TestUmEdit::controlKeysGoOnToWindow()
{
    TumNumberEdit box;
    box.setText(QStringLiteral("5"));
    for (const auto &[key, text] : {std::pair{Qt::Key_Return, QStringLiteral("\r")},
                                    std::pair{Qt::Key_Escape, QStringLiteral("\x1b")}}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&box, &press);
        QVERIFY(!press.isAccepted());
    }
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(&box, &letter);
    QVERIFY(letter.isAccepted());
    QCOMPARE(box.text(), QStringLiteral("5"));
}

void TestUmEdit::promotedPropertiesFromDescription()
{
    // A window description may set the properties by name.
    TumNumberEdit box;
    QVERIFY(box.setProperty("Kind", 1));
    QCOMPARE(box.Kind(), neHex);
    QVERIFY(box.setProperty("MaxValue", 300));
    QVERIFY(box.setProperty("Value", 255));
    QCOMPARE(box.text(), QStringLiteral("FF"));
    QVERIFY(box.setProperty("Alignment", QVariant::fromValue(Qt::Alignment(Qt::AlignRight))));
    QCOMPARE(box.Alignment(), Qt::Alignment(Qt::AlignRight));
}

void TestUmEdit::paintAlignmentFollowsFocus()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *box = new TumEdit(&window);
    auto *other = new QLineEdit(&window);
    layout->addWidget(box);
    layout->addWidget(other);
    box->setFrame(false);
    box->setFixedSize(200, 30);
    box->setText(QStringLiteral("12"));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QTRY_VERIFY(other->hasFocus());

    const int leftUnfocused = firstDarkColumn(render(box));
    QVERIFY(leftUnfocused >= 0 && leftUnfocused < 10);

    box->setAlignment(Qt::AlignRight);
    const int right = firstDarkColumn(render(box));
    QVERIFY2(right > 170, qPrintable(QString::number(right)));

    box->setAlignment(Qt::AlignHCenter);
    const int centre = firstDarkColumn(render(box));
    QVERIFY2(centre > 80 && centre < 100, qPrintable(QString::number(centre)));

    // With the focus the box edits left-aligned, where the unfocused left text stands.
    box->setFocus();
    QTRY_VERIFY(box->focusedFlag());
    const int focused = firstDarkColumn(render(box));
    QVERIFY2(qAbs(focused - leftUnfocused) <= 1, qPrintable(QString::number(focused)));

    other->setFocus();
    QTRY_VERIFY(!box->focusedFlag());
    QCOMPARE(firstDarkColumn(render(box)), centre);
}

void TestUmEdit::paintDisabledAndPassword()
{
    TumEdit box;
    box.setFrame(false);
    box.setFixedSize(120, 30);
    box.setText(QStringLiteral("88"));
    box.setColorDisabled(QColor(200, 0, 0));

    const QImage enabled = render(&box);
    QCOMPARE(enabled.pixelColor(110, 15), box.palette().color(QPalette::Base));

    box.setEnabled(false);
    const QImage disabled = render(&box);
    QCOMPARE(disabled.pixelColor(110, 15), QColor(200, 0, 0));
    // The text is there, in grey rather than the enabled text colour.
    const int column = firstDarkColumn(enabled);
    bool sawText = false;
    for (int y = 0; y < disabled.height(); ++y) {
        const QColor c = disabled.pixelColor(column, y);
        QVERIFY(c != box.palette().color(QPalette::Active, QPalette::Text));
        sawText = sawText || c != QColor(200, 0, 0);
    }
    QVERIFY(sawText);

    // A password box draws the mask characters, not the text.
    box.setEnabled(true);
    box.setEchoMode(QLineEdit::Password);
    const QImage masked = render(&box);
    box.setEchoMode(QLineEdit::Normal);
    const QChar mask(box.style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, &box));
    box.setText(QString(2, mask));
    QCOMPARE(render(&box), masked);
    QVERIFY(masked != enabled);
}

QTEST_MAIN(TestUmEdit)
#include "tst_ctl_umedit.moc"
