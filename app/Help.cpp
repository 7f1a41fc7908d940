#include "app/Help.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstring>

#include "app/HelpError.h"
#include "app/Lang.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

THelpOpener DefaultHelpOpener(const TSettings* Settings) {
  // Read when the help is asked for, in the language of that moment.
  const auto Text = [Settings](const char* Key, const QString& File, const QString& English) {
    const QString Local =
        Settings ? LangFormat(Settings->ProgramDir, Key, Settings->Language, {File}) : QString();
    return Local.isEmpty() ? English : Local;
  };
  return [Text](const QString& FilePath, QString& ErrorText) {
    if (!QFileInfo::exists(FilePath)) {
      ErrorText = Text(mesHelpFileMissing, FilePath, QString::fromLocal8Bit(std::strerror(ENOENT)));
      return false;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(FilePath))) {
      ErrorText = Text(mesHelpNoViewer, FilePath,
                       QStringLiteral("No application is registered to open this file"));
      return false;
    }
    return true;
  };
}

QString HelpFileName(const std::string& Language) {
  if (Language == "ENG") return QStringLiteral("Help_eng.pdf");
  if (Language == "FRA") return QStringLiteral("Help_fra.pdf");
  return {};
}

void RunHelp(const TSettings& Settings, QWidget* Owner, TFHelpError& Box, const THelpOpener& Opener,
             const THelpBoxes& Boxes) {
  try {
    bool Opened = false;
    const QString Name = HelpFileName(Settings.Language);
    if (!Name.isEmpty()) {
      const QString Path =
          QString::fromStdString(FindResourceFile(Settings.ProgramDir, Name.toStdString()));
      QString ErrorText;
      Opened = Opener && Opener(Path, ErrorText);
      if (!Opened) {
        if (Boxes.ErrorBox)
          Boxes.ErrorBox(Owner, ErrorText);
        else
          ShowStandardError(Owner, ErrorText);
      }
    }
    if (!Opened) {
      if (Boxes.ShowHelpError)
        Boxes.ShowHelpError(Box);
      else
        Box.exec();
    }
  } catch (const std::exception& Error) {
    // Help is a courtesy: whatever else goes wrong, the program goes on.
    qWarning("quillory: the help could not be shown: %s", Error.what());
  }
}
