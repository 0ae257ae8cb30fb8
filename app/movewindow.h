#pragma once

#include <QDialog>

namespace Ui {
class MoveWindow;
}

// "Masayı Taşı": the free tables an account can move to (or be reopened on); the chosen one
// takes it over.
class MoveWindow : public QDialog
{
    Q_OBJECT

public:
    explicit MoveWindow(QWidget *parent = nullptr);
    ~MoveWindow() override;

    // Offers the tables (position, name) under `prompt`; the position chosen, or -1 when the
    // operator gave up.
    int choose(const QString &prompt, const QList<std::pair<int, QString>> &tables);

    Ui::MoveWindow *ui;

private:
    QList<int> m_positions;
};
