#pragma once

#include "errors.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace kv {

// The operator's messages. The program shows them as message boxes (messageboxes.h); tests
// install a recorder so that no box ever blocks.
namespace messages {

struct Recorder
{
    QStringList infos;     // plain information boxes, in order
    QStringList errors;    // standard error boxes, in order
    QStringList questions; // yes/no questions, in order
    QList<bool> answers;   // next answers to questions; when empty, defaultAnswer
    QList<int> choices;    // next answers to choose(); when empty, its default
    bool defaultAnswer = false;
    // Runs when an information box would show, as the operator would see it.
    std::function<void(const QString &)> onInfo;
    // Answers "Tekrar Dene" to the next errors that offer it; none: "Vazgeç".
    QList<bool> retries;
    // Asked while a wait goes on; none: the wait is given up at once.
    std::function<bool()> onWait;
    int waits = 0;

    QStringList all() const { return infos + errors + questions; }
    void clear()
    {
        infos.clear();
        errors.clear();
        questions.clear();
        answers.clear();
        choices.clear();
    }
};

void setRecorder(Recorder *recorder);
Recorder *recorder();

// What shows the messages to the operator when no recorder is set.
struct Presenter
{
    std::function<void(const QString &)> inform;
    std::function<void(const QString &)> showError;
    std::function<bool(const QString &)> ask;
    std::function<bool(const QString &)> retry;
    std::function<bool(const QString &)> waitAgain;
    std::function<void()> waitOver;
    std::function<bool(const QString &)> askYesFirst;
    std::function<int(const QString &, const QStringList &, int)> choose;
};
void setPresenter(const Presenter &presenter);

// Plain information box: caption "Kelvora", one OK button.
void inform(const QString &text);
// The standard error box: critical icon, caption "Kelvora", the error's text, OK.
void showError(const QString &text);
// "Evet"/"Hayır" question with "Hayır" as the default; true for "Evet".
bool ask(const QString &text);
// An error that can be tried again: "Tekrar Dene" (the default; true) or "Vazgeç".
bool retry(const QString &text);
// A wait for something outside the program, asked after each short wait: true to wait on.
// The window keeps answering between; after a moment the wait is shown as such (`text`,
// "Vazgeç" to give it up) and is modal. waitOver() ends it.
bool waitAgain(const QString &text);
void waitOver();
// An "Evet"/"Hayır" question with "Evet" as the default: a recorder with no answer queued
// takes it.
bool askYesFirst(const QString &text);

// A question with its own buttons, the last of them giving up: the index of the one pressed;
// the last one's on Esc. `first` is the default.
int choose(const QString &text, const QStringList &buttons, int first);

} // namespace messages

// Runs one handler; a runtime error stops it and is shown in the standard error box, so no
// exception ever crosses the event loop.
template <class F> void guard(F &&handler)
{
    try {
        handler();
    } catch (const RuntimeError &e) {
        messages::showError(e.text());
    }
}

} // namespace kv
