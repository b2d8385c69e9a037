// File > Import Audio...: any audio file the fit module reads, fitted to 128
// samples and saved, with the user's consent, as a WAV file the window takes
// as is. The fit module is opened on the first import, not before.
#pragma once

#include <QString>

class QWidget;

// Asks for the audio file (the dialog starting in `startFolder`), for the
// frame when it is a wavetable of several, then where to save the fitted
// wave: beside the source as NAME-128.wav unless the user says otherwise.
// A failure shows the alert with its reason. Returns the saved file's path,
// with the fit's one-line `report`, or an empty string when nothing was
// saved.
QString ImportAudio(QWidget* parent, const QString& startFolder, QString& report);
