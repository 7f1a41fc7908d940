// The toolkit's standard error box: the error text under the application
// title. Windows that may show one hold it as a TErrorBox so tests can
// replace the modal box.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

using TErrorBox = std::function<void(QWidget* Owner, const QString& Text)>;

// QMessageBox::critical titled with the application's display name.
void ShowStandardError(QWidget* Owner, const QString& Text);

// Opens a web address or "mailto:" link with the desktop's program; the
// answer is false when nothing could be started.
using TUrlOpener = std::function<bool(const QUrl& Url)>;
bool OpenUrlWithDesktop(const QUrl& Url);
