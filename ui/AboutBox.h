// Help > About: the program, its version and its licence.
#pragma once

class QWidget;

void ShowAboutBox(QWidget* parent);
