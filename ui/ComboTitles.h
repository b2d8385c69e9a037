// Popup items by title, over a QComboBox. A title is kept as the exact bytes
// it was added with, so a destination whose name is not valid UTF-8 is still
// found again by the title read back from its item.
#pragma once

#include "DestinationDirectory.h"

#include <optional>
#include <string>

class QComboBox;

void AddItemWithTitle(QComboBox& popup, const std::string& title);

// The title of the selected item; none when the popup is empty.
std::optional<std::string> TitleOfSelectedItem(const QComboBox& popup);

// What AddMIDIPortsToPopup fills: the port popup.
class ComboTitlePopup : public TitlePopup
{
public:
    explicit ComboTitlePopup(QComboBox& popup) : m_popup(popup) {}
    void AddItemWithTitle(const std::string& title) override { ::AddItemWithTitle(m_popup, title); }

private:
    QComboBox& m_popup;
};
