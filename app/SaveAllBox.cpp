#include "app/SaveAllBox.h"

#include <QPushButton>

#include "app/Lang.h"

TSaveAllBox::TSaveAllBox(const QStringList& Lines, const TSettings& Settings, QWidget* Owner)
    : QMessageBox(Owner) {
  const auto Text = [&Settings](const char* Key) {
    return LangText(Settings.ProgramDir, Key, Settings.Language);
  };
  setObjectName(QStringLiteral("SaveAllBox"));
  setIcon(QMessageBox::Warning);
  setWindowTitle(Text(mesSaveAllTitle));
  setText(Text(mesSaveAllFailed));
  // Every line is there: the first ones in view, all of them in the details.
  constexpr int InView = 10;
  QStringList Shown = Lines.mid(0, InView);
  if (Lines.size() > InView) {
    Shown << LangFormat(Settings.ProgramDir, mesMoreFailures, Settings.Language,
                        {QString::number(Lines.size() - InView)});
    setDetailedText(Lines.join(QLatin1Char('\n')));
  }
  setInformativeText(Shown.join(QLatin1Char('\n')));
  buttonOpenImageFolder = addButton(Text(LangName::menuOpenImageFolder), QMessageBox::ActionRole);
  buttonOpenImageFolder->setObjectName(QStringLiteral("buttonOpenImageFolder"));
  // Qt's own button, in Qt's own words of the language.
  setDefaultButton(addButton(QMessageBox::Close));
}

bool TSaveAllBox::OpenFolderChosen() const {
  return clickedButton() == buttonOpenImageFolder;
}
