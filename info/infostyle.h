#pragma once

#include "placement.h"

#include <QDialog>
#include <QFont>
#include <QPalette>

// The look the two information windows share.
namespace kv::info {

inline QFont pixelFont(QFont font, int pixels, bool bold)
{
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

inline void paintWhiteOnBlack(QWidget *textBox)
{
    QPalette palette = textBox->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, Qt::white);
    textBox->setPalette(palette);
}

// A fixed dialog frame without a help button, in the standard 11-pixel font.
inline void makeFixedDialog(QDialog *dialog)
{
    dialog->setWindowFlags(dialog->windowFlags() | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Pixel sizes cannot be given in the description; they are set here.
    dialog->setFont(pixelFont(dialog->font(), 11, false));
    centreAtEveryShowing(dialog);
}

} // namespace kv::info
