// Writes the application icon as PNG files: make_icon FOLDER SIZE...
// One FOLDER/SIZExSIZE/quillory.png per size, the layout of an icon theme.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "app/Artwork.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication App(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "Usage: make_icon FOLDER SIZE...\n");
    return 2;
  }
  const QString Folder = QString::fromLocal8Bit(argv[1]);
  for (int Arg = 2; Arg < argc; ++Arg) {
    const int Size = QString::fromLatin1(argv[Arg]).toInt();
    if (Size < 16 || Size > 1024) {
      std::fprintf(stderr, "make_icon: bad size %s\n", argv[Arg]);
      return 2;
    }
    const QString Dir = QStringLiteral("%1/%2x%2").arg(Folder).arg(Size);
    const QString File = Dir + QStringLiteral("/quillory.png");
    if (!QDir().mkpath(Dir) || !ProgramIcon(Size).save(File, "PNG")) {
      std::fprintf(stderr, "make_icon: cannot write %s\n", qPrintable(File));
      return 1;
    }
  }
  return 0;
}
