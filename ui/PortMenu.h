// A menu of every MIDI destination, or every source, there is as it opens,
// listed afresh each time and kept up to date while it stays open as the
// MIDI systems announce ports coming and going: Wave > Send To and Wave >
// Play from MIDI Keyboard.
#pragma once

#include "DestinationDirectory.h"

#include <QMenu>

#include <string>
#include <vector>

class PortMenu : public QMenu
{
    Q_OBJECT

public:
    struct Kind
    {
        QString title;
        bool sources = false;
        QString toolTip;  // of each item, "%1" its address
        QString empty;    // the one item when there is no port
        QString none;     // "": no such item; else one first, chosen as "", and the current choice checked
    };
    PortMenu(Kind kind, QWidget* parent = nullptr);
    ~PortMenu() override;

    // The item checked, by title ("" for the none item).
    void setCurrent(const std::string& title) { m_current = title; }

signals:
    // The exact title of the chosen port; "" for the none item.
    void chosen(const std::string& title);

private:
    void list();
    void fill(const std::vector<ListedPort>& ports);
    void watch(bool open);

    const Kind m_kind;
    std::string m_current;
};
