#pragma once

#include <QDateTime>
#include <QDialog>

class QDateTimeEdit;
class QDialogButtonBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// "Süre Düzelt": minutes added to or taken off an open account, or its start set anew, with
// the reason that is always asked.
class TimeCorrection : public QDialog
{
    Q_OBJECT

public:
    // `about` says which account; `start` is its start now, `now` the latest start allowed.
    TimeCorrection(const QString &about, const QDateTime &start, const QDateTime &now,
                   QWidget *parent = nullptr);

    bool setsStart() const;
    qint64 minutes() const;
    QDateTime start() const;
    QString reason() const;

private:
    void check();

    QRadioButton *m_byMinutes;
    QRadioButton *m_byStart;
    QSpinBox *m_minutes;
    QDateTimeEdit *m_start;
    QLineEdit *m_reason;
    QDialogButtonBox *m_buttons;
    QDateTime m_was;
};
