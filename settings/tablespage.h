#pragma once

#include "hall.h"

#include <QWidget>

class QListWidget;
class QPushButton;

// The "Masalar" tab of the settings window: the tables one at a time. Adding a table or
// removing the last one is saved at once and touches no other table's account or extras.
class TablesPage : public QWidget
{
    Q_OBJECT

public:
    explicit TablesPage(kv::hall::Hall &hall, QWidget *parent = nullptr);

    // The Yönetici's approval each change needs; none asked when unset.
    kv::hall::Approve approve;

    // Handlers, connected in the constructor.
    void addClick();    // "Masa Ekle"
    void removeClick(); // "Son Masayı Sil", after asking

    QListWidget *tableList() const { return m_list; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();
    // As "Masa Oluştur": a Yönetici's where one is needed.
    std::optional<kv::hall::Approval> approved();

    kv::hall::Hall &m_hall;
    QListWidget *m_list;
    QPushButton *m_add;
    QPushButton *m_remove;
};
