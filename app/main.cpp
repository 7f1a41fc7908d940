// Program start: the application's title and look, the settings beside the
// executable, the main window (which creates the other windows), the event
// loop. "quillory MOVIE.swf" opens the movie once the window is up.
#include "app/Main.h"

#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QStyleFactory>

#include "app/Artwork.h"
#include "app/Settings.h"

namespace {

// Fusion in light greys: bars, docks and buttons alike.
QPalette LightGreyPalette() {
  QPalette Palette = QApplication::style()->standardPalette();
  Palette.setColor(QPalette::Window, QColor(226, 226, 226));
  Palette.setColor(QPalette::Button, QColor(232, 232, 232));
  Palette.setColor(QPalette::Base, Qt::white);
  Palette.setColor(QPalette::AlternateBase, QColor(242, 242, 242));
  Palette.setColor(QPalette::WindowText, QColor(20, 20, 20));
  Palette.setColor(QPalette::ButtonText, QColor(20, 20, 20));
  Palette.setColor(QPalette::Text, QColor(20, 20, 20));
  Palette.setColor(QPalette::Highlight, QColor(120, 150, 200));
  Palette.setColor(QPalette::HighlightedText, Qt::white);
  Palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(150, 150, 150));
  Palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(150, 150, 150));
  Palette.setColor(QPalette::Disabled, QPalette::Text, QColor(150, 150, 150));
  return Palette;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication Application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillory"));
  QApplication::setApplicationDisplayName(QStringLiteral("Quillory"));
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QApplication::setPalette(LightGreyPalette());
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(ProgramIcon(256))));

  TSettings Settings(QCoreApplication::applicationDirPath().toStdString() + "/");
  TMainForm MainForm(Settings);
  MainForm.show();
  MainForm.OpenFromCommandLine(QCoreApplication::arguments());
  return Application.exec();
}
