// Answers the modal alerts a test provokes: polls for the active modal
// widget, notes what the message box showed and presses its button.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <vector>

struct CaughtAlert
{
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QStringList buttons;
    bool modal = false;
};

class AlertCatcher : public QObject
{
public:
    // `whileShown` runs while each alert is up, before it is dismissed.
    explicit AlertCatcher(std::function<void()> whileShown = {});

    const std::vector<CaughtAlert>& Alerts() const { return m_alerts; }
    QStringList Texts() const;

private:
    void Poll();

    QTimer m_timer;
    std::function<void()> m_whileShown;
    std::vector<CaughtAlert> m_alerts;
};
