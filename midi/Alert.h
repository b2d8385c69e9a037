// Failures the user must see. The window shows them in a modal alert titled
// "Quarven Wave Dump" with one "Ok" button; qwdump writes them to stderr.
#pragma once

#include <functional>

using AlertPresenter = std::function<void(const char* message)>;

// Installs how alerts are shown; an empty presenter restores the default,
// one line on stderr.
void SetAlertPresenter(AlertPresenter presenter);

// Shows `message` as plain text and returns once it has been dismissed; the
// window's presenter, called from the MIDI pump, shows it once the pump has
// returned.
void RunAlertPanel(const char* message);
