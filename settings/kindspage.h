#pragma once

#include "hall.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimeEdit;

// The "Masa Türleri" tab of the settings window: each kind's name, hourly fee, minimum charge
// and rate bands, edited on screen and saved together ("Kaydet"). A refused save keeps the
// edits on screen.
class KindsPage : public QWidget
{
    Q_OBJECT

public:
    explicit KindsPage(kv::hall::Hall &hall, QWidget *parent = nullptr);

    // The Yönetici's approval a save needs; none asked when unset.
    kv::hall::Approve approve;

    // The kinds as the hall holds them; edits not saved are dropped.
    void reload();
    const QList<kv::hall::TableKind> &edited() const { return m_kinds; }

    // Handlers, connected in the constructor.
    void addKindClick();
    void removeKindClick();
    void addBandClick();
    void removeBandClick();
    void saveClick();

private:
    void showKinds();
    void showKind();
    void showBand();
    // What the boxes hold, into the kind and band chosen.
    void takeKind();
    void takeBand();
    void showBandRow(int row);
    kv::hall::TableKind *kind();
    kv::counter::RateBand *band();

    kv::hall::Hall &m_hall;
    QList<kv::hall::TableKind> m_kinds;
    QList<int> m_origins; // each kind's place in the hall's list; -1: new
    bool m_filling = false;

    QListWidget *m_list;
    QPushButton *m_addKind, *m_removeKind;
    QLineEdit *m_name;
    QSpinBox *m_fee;
    QCheckBox *m_hasMinimum;
    QSpinBox *m_minimum;
    QTableWidget *m_bands;
    QList<QCheckBox *> m_days;
    QTimeEdit *m_from, *m_to;
    QSpinBox *m_bandFee;
    QPushButton *m_addBand, *m_removeBand, *m_save;
    QWidget *m_kindBox;
    QWidget *m_bandBox;
};
