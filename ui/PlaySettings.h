// Wave > Play Settings...: the note and the level Play uses, with the
// names and ranges of qwdump play's --note and --gain, kept for the session.
#pragma once

#include <QString>

class QWidget;

struct PlaySettings
{
    QString note = QStringLiteral("C3");
    double levelDb = -12.0;

    double frequency() const;
    // "C3 (130.81 Hz)"
    QString pitch() const;
};

// Asks for both over `parent`; false, with `settings` unchanged, when
// cancelled. A name that is no note is refused in the dialog, saying how
// one is written.
bool AskPlaySettings(QWidget* parent, PlaySettings& settings);
