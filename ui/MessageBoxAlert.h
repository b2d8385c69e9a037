// Alerts in the window: a modal message box titled "Quarven Wave Dump" with
// the message as plain text and one button, "Ok".
#pragma once

inline constexpr char kAlertTitle[] = "Quarven Wave Dump";

// Makes RunAlertPanel show its messages this way. Needs a QApplication.
void InstallMessageBoxAlerts();
