#pragma once

#include "hall.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QListWidget;
class QPushButton;

// The "Masalar" tab of the settings window: the tables one at a time. Each change (add,
// rename, kind, order, remove the last) is saved at once and touches no other table's account
// or extras.
class TablesPage : public QWidget
{
    Q_OBJECT

public:
    explicit TablesPage(kv::hall::Hall &hall, QWidget *parent = nullptr);

    // The Yönetici's approval each change needs; none asked when unset.
    kv::hall::Approve approve;

    // Handlers, connected in the constructor; each on the chosen table.
    void addClick();            // "Masa Ekle"
    void removeClick();         // "Son Masayı Sil", after asking
    void renameClick();         // "Yeniden Adlandır", asking the new name
    void kindChosen(int index); // the kind box: 0 none, else the kind's place + 1
    void moveClick(int by);     // "Yukarı" (-1), "Aşağı" (+1)

    QListWidget *tableList() const { return m_list; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();
    // The kind box and the buttons, for the chosen table.
    void showChosen();
    int chosen() const;
    // As "Masa Oluştur": a Yönetici's where one is needed.
    std::optional<kv::hall::Approval> approved(const QString &action);
    // An approved change, after which row `select` is chosen.
    void change(const QString &action, int select, const std::function<void()> &verb);

    kv::hall::Hall &m_hall;
    QListWidget *m_list;
    QComboBox *m_kind;
    QPushButton *m_add;
    QPushButton *m_remove;
    QPushButton *m_rename;
    QPushButton *m_up;
    QPushButton *m_down;
    int m_select = -1; // the row to choose once the tables are listed again
};
