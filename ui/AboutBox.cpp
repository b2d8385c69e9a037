#include "AboutBox.h"

#include <QMessageBox>

void ShowAboutBox(QWidget* parent)
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("About Quarven Wave Dump"),
                    QStringLiteral("Quarven Wave Dump " QWD_VERSION), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(QStringLiteral(
        "Sends a 128-sample wave to a synthesizer as a MIDI System Exclusive wave dump.\n\n"
        "Licence: GPL-3.0-or-later. This program is free software: you can redistribute it and/or modify it "
        "under the terms of the GNU General Public License, version 3 or any later version. It comes with "
        "no warranty."));
    box.exec();
}
