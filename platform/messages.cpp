#include "messages.h"

#include <QDebug>

namespace kv::messages {

namespace {
Recorder *s_recorder = nullptr;
Presenter s_presenter;
} // namespace

void setRecorder(Recorder *recorder)
{
    s_recorder = recorder;
}

Recorder *recorder()
{
    return s_recorder;
}

void setPresenter(const Presenter &presenter)
{
    s_presenter = presenter;
}

void inform(const QString &text)
{
    if (s_recorder) {
        s_recorder->infos << text;
        if (s_recorder->onInfo)
            s_recorder->onInfo(text);
    } else if (s_presenter.inform) {
        s_presenter.inform(text);
    } else {
        qInfo().noquote() << text;
    }
}

void showError(const QString &text)
{
    if (s_recorder)
        s_recorder->errors << text;
    else if (s_presenter.showError)
        s_presenter.showError(text);
    else
        qWarning().noquote() << text;
}

bool ask(const QString &text)
{
    if (s_recorder) {
        s_recorder->questions << text;
        return s_recorder->answers.isEmpty() ? s_recorder->defaultAnswer
                                             : s_recorder->answers.takeFirst();
    }
    if (s_presenter.ask)
        return s_presenter.ask(text);
    qWarning().noquote() << text;
    return false; // nobody to say yes
}

bool retry(const QString &text)
{
    if (s_recorder) {
        s_recorder->errors << text;
        return !s_recorder->retries.isEmpty() && s_recorder->retries.takeFirst();
    }
    if (s_presenter.retry)
        return s_presenter.retry(text);
    qWarning().noquote() << text;
    return false;
}

bool waitAgain(const QString &text)
{
    if (s_recorder) {
        ++s_recorder->waits;
        return s_recorder->onWait && s_recorder->onWait();
    }
    return s_presenter.waitAgain && s_presenter.waitAgain(text);
}

void waitOver()
{
    if (!s_recorder && s_presenter.waitOver)
        s_presenter.waitOver();
}

bool askYesFirst(const QString &text)
{
    if (s_recorder) {
        s_recorder->questions << text;
        return s_recorder->answers.isEmpty() || s_recorder->answers.takeFirst();
    }
    if (s_presenter.askYesFirst)
        return s_presenter.askYesFirst(text);
    qWarning().noquote() << text;
    return true; // the default
}

int choose(const QString &text, const QStringList &buttons, int first)
{
    if (s_recorder) {
        s_recorder->questions << text;
        return s_recorder->choices.isEmpty() ? first : s_recorder->choices.takeFirst();
    }
    if (s_presenter.choose)
        return s_presenter.choose(text, buttons, first);
    qWarning().noquote() << text;
    return first;
}

} // namespace kv::messages
