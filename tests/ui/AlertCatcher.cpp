#include "AlertCatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

AlertCatcher::AlertCatcher(std::function<void()> whileShown) : m_whileShown(std::move(whileShown))
{
    connect(&m_timer, &QTimer::timeout, this, &AlertCatcher::Poll);
    m_timer.start(10);
}

QStringList AlertCatcher::Texts() const
{
    QStringList texts;
    for (const CaughtAlert& alert : m_alerts)
        texts << alert.text;
    return texts;
}

void AlertCatcher::Poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible())
        return;
    CaughtAlert alert;
    alert.title = box->windowTitle();
    alert.text = box->text();
    alert.format = box->textFormat();
    alert.modal = box->isModal();
    for (QAbstractButton* button : box->buttons())
        alert.buttons << button->text();
    m_alerts.push_back(alert);
    if (m_whileShown)
        m_whileShown();
    // Any button ends the box; an unexpected second one shows in `buttons`.
    if (box->buttons().isEmpty())
        box->reject();
    else
        box->buttons().first()->click();
}
