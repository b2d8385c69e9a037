#include "MessageBoxAlert.h"

#include "Alert.h"
#include "MidiService.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <string>

namespace {

// Over the application's window, even when a drag from another program has
// left it inactive.
QWidget* AlertParent()
{
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->isWindow())
            return widget;
    }
    return nullptr;
}

void ShowMessageBox(const char* message)
{
    // A modal loop inside the MIDI pump would pump it again: what a send or
    // a receive must say is shown once the pump has returned.
    if (MIDIServicePumping()) {
        QMetaObject::invokeMethod(
            qApp, [text = std::string(message)] { ShowMessageBox(text.c_str()); }, Qt::QueuedConnection);
        return;
    }
    QMessageBox box(QMessageBox::Warning, kAlertTitle, QString(), QMessageBox::NoButton, AlertParent());
    // Messages may quote file names: never let them be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromUtf8(message));
    QPushButton* ok = box.addButton(QStringLiteral("Ok"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

}  // namespace

void InstallMessageBoxAlerts()
{
    SetAlertPresenter(ShowMessageBox);
}
