#include "ComboTitles.h"

#include <QByteArray>
#include <QComboBox>
#include <QVariant>

namespace {
constexpr int kTitleRole = Qt::UserRole;
}

void AddItemWithTitle(QComboBox& popup, const std::string& title)
{
    popup.addItem(QString::fromStdString(title), QByteArray::fromStdString(title));
}

std::optional<std::string> TitleOfSelectedItem(const QComboBox& popup)
{
    const int index = popup.currentIndex();
    if (index < 0)
        return std::nullopt;
    return popup.itemData(index, kTitleRole).toByteArray().toStdString();
}
