// quillory-window-bench: what opening a movie costs the window. For each
// movie it opens the movie in the program's own main window (offscreen unless
// a display is chosen) and tells how long the open took to be ready (the walk
// done, Save all enabled), how long after that the first screen of
// thumbnails was drawn and the window was idle (every thumbnail in view and
// near it made), and the process's peak memory. It judges nothing.
//
// Usage: quillory-window-bench MOVIE.swf...
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Main.h"
#include "app/Settings.h"

namespace fs = std::filesystem;

namespace {

// The process's peak resident memory so far, in MiB (VmHWM).
double PeakMiB() {
  std::ifstream Status("/proc/self/status");
  for (std::string Line; std::getline(Status, Line);)
    if (Line.rfind("VmHWM:", 0) == 0) return std::stod(Line.substr(6)) / 1024.0;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs("Usage: quillory-window-bench MOVIE.swf...\n", stderr);
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);

  // A program folder of its own, with the texts beside it, so no settings of
  // the user's are read or written.
  std::string Folder = (fs::temp_directory_path() / "quillory-window-bench-XXXXXX").string();
  if (!mkdtemp(Folder.data())) return 1;
  Folder += "/";
  const std::string Texts = QCoreApplication::applicationDirPath().toStdString() + "/Lang.ini";
  std::error_code Ignored;
  fs::copy_file(Texts, Folder + "Lang.ini", Ignored);
  // A window of 1024 x 768: four columns of four rows in view.
  std::ofstream(Folder + "Config.ini") << "[Config]\nImageDir=" << Folder
                                       << "IMAGES/\n[Size]\nTop=0\nLeft=0\nWidth=1024\nHeight=768\n";

  std::printf("%-34s %9s %12s %9s %11s %9s\n", "movie", "ready s", "1st screen s", "idle s",
              "thumbnails", "peak MiB");
  for (int I = 1; I < argc; ++I) {
    TSettings Settings(Folder);
    TMainForm Form(Settings);
    Form.ShowMessage = [](QMessageBox&) {};
    Form.ErrorBox = [](QWidget*, const QString&) {};
    Form.show();
    while (!Form.windowHandle() || !Form.windowHandle()->isExposed())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QElapsedTimer Clock;
    Clock.start();
    Form.OpenMovie(QString::fromLocal8Bit(argv[I]));
    const double Ready = Clock.nsecsElapsed() / 1e9;
    double FirstScreen = -1;
    while (Form.ThumbnailsPending()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (FirstScreen < 0 && Form.Thumbnails().InViewMade())
        FirstScreen = Clock.nsecsElapsed() / 1e9 - Ready;
    }
    QCoreApplication::processEvents();  // what the last thumbnails ask to paint
    const double Idle = Clock.nsecsElapsed() / 1e9 - Ready;
    if (FirstScreen < 0) FirstScreen = Idle;
    std::printf("%-34s %9.3f %12.3f %9.3f %11zu %9.1f\n", fs::path(argv[I]).filename().c_str(),
                Ready, FirstScreen, Idle, Form.Thumbnails().Count(), PeakMiB());
    std::fflush(stdout);
  }
  fs::remove_all(Folder, Ignored);
  return 0;
}
