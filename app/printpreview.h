#pragma once

#include "receipt.h"

#include <QDialog>

// "Baskı Önizleme": a receipt as it comes off the roll, drawn on a white strip as wide as the
// paper, with "Yazdır" and "Kapat".
class PrintPreview : public QDialog
{
    Q_OBJECT

public:
    explicit PrintPreview(QWidget *parent = nullptr);

    // Shows the receipt until the window is closed; true when "Yazdır" was chosen.
    bool showReceipt(const kv::print::Receipt &receipt, int paperMm, const QString &title);

private:
    class Strip;
    Strip *m_strip;
};
