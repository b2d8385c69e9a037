// Wave > Send To and Bank > Send Bank To: every MIDI destination there is as
// the menu opens, listed afresh each time, and kept up to date while it stays
// open as the MIDI systems announce ports coming and going. The port popup
// beside it keeps the list the window started with; these menus are how a
// synth plugged in later is reached without a restart.
#pragma once

#include "DestinationDirectory.h"

#include <QMenu>

#include <string>
#include <vector>

class SendToMenu : public QMenu
{
    Q_OBJECT

public:
    explicit SendToMenu(QWidget* parent = nullptr);
    // `title` is the menu's, `goes` what each destination's tooltip says
    // goes there.
    SendToMenu(const QString& title, const QString& goes, QWidget* parent);
    ~SendToMenu() override;

signals:
    // The exact title of the chosen destination.
    void chosen(const std::string& title);

private:
    void list();
    void fill(const std::vector<ListedPort>& ports);
    void watch(bool open);

    QString m_goes;
};
