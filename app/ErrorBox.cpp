#include "app/ErrorBox.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>

void ShowStandardError(QWidget* Owner, const QString& Text) {
  QMessageBox::critical(Owner, QGuiApplication::applicationDisplayName(), Text);
}

bool OpenUrlWithDesktop(const QUrl& Url) {
  return QDesktopServices::openUrl(Url);
}
