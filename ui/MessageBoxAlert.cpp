#include "MessageBoxAlert.h"

#include "Alert.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

void ShowMessageBox(const char* message)
{
    QMessageBox box(QMessageBox::Warning, kAlertTitle, QString(), QMessageBox::NoButton,
                    QApplication::activeWindow());
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
