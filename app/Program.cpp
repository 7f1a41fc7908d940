// Program start: the application's title and look, the settings (beside the
// executable, or in the user's folders), the main window (which creates the
// other windows), the event loop. "quillory MOVIE.swf" opens the movie once
// the window is up; --help and --version answer without a window.
#include "app/Main.h"

#include <QApplication>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QStyleFactory>
#include <cstdio>
#include <cstring>

#include "app/Artwork.h"
#include "app/Settings.h"
#include "platform/Version.h"

namespace {

const char* const Help =
    "Usage: quillory [OPTION]... [MOVIE.swf]\n"
    "\n"
    "Opens the Quillory window, which shows every picture of an SWF movie and\n"
    "saves one or all of them; MOVIE.swf is opened at once when given.\n"
    "\n"
    "Options:\n"
    "  --help     this text\n"
    "  --version  the version of this program\n"
    "\n"
    "Config.ini lies beside this program when its folder can be written (a\n"
    "portable install), in $XDG_CONFIG_HOME/quillory/ (~/.config/quillory/)\n"
    "otherwise. quillory-extract saves the pictures of many movies without a\n"
    "window.\n";

// --help and --version, before anything needs a display: the answer's exit
// status, or -1 to start the window.
int AnswerWithoutWindow(int argc, char** argv) {
  for (int I = 1; I < argc && std::strcmp(argv[I], "--") != 0; ++I) {
    if (std::strcmp(argv[I], "--version") == 0) {
      std::fputs("quillory " QUILLORY_VERSION "\n", stdout);
      return 0;
    }
    if (std::strcmp(argv[I], "--help") == 0 || std::strcmp(argv[I], "-h") == 0) {
      std::fputs(Help, stdout);
      return 0;
    }
  }
  return -1;
}

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
  if (const int Status = AnswerWithoutWindow(argc, argv); Status >= 0) return Status;
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
