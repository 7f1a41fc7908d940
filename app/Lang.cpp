#include "app/Lang.h"

#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QWidget>

#include "platform/IniFile.h"

namespace {

std::string LangFile(const std::string& ProgramDir) {
  return FindFileNoCase(ProgramDir, "Lang.ini");
}

// The toolkit's own objects (menu actions of submenus, scroll area
// viewports, toolbar extension buttons, ...) are not components.
bool IsComponent(const QObject* Object) {
  const QString Name = Object->objectName();
  return !Name.isEmpty() && !Name.startsWith(QLatin1String("qt_"));
}

// A top-level widget inside the window's tree (a dialog or another window
// created with this one as parent) is a window of its own: its texts are
// its own business. Popup menus, toolbars and docks belong to the window.
bool IsOtherWindow(const QObject* Object) {
  const auto* Widget = qobject_cast<const QWidget*>(Object);
  return Widget && Widget->isWindow() && !qobject_cast<const QMenu*>(Widget) &&
         !qobject_cast<const QToolBar*>(Widget) && !qobject_cast<const QDockWidget*>(Widget);
}

// The one place that says which kinds of component carry a translated text.
// Text is asked for only when the kind takes one.
template <typename TTextFn>
void Translate(QObject* Object, TTextFn Text) {
  if (auto* Label = qobject_cast<QLabel*>(Object)) {
    Label->setText(Text());  // plain and link labels
  } else if (auto* Button = qobject_cast<QPushButton*>(Object)) {
    if (!qobject_cast<TFrameButton*>(Button)) Button->setText(Text());
  } else if (auto* Action = qobject_cast<QAction*>(Object)) {
    if (!qobject_cast<TCommandAction*>(Action)) Action->setText(Text());  // menu, toolbar items
  } else if (auto* Menu = qobject_cast<QMenu*>(Object)) {
    Menu->setTitle(Text());  // submenus
  }
  // Every other kind keeps its text.
}

void TranslateTree(QObject* Parent, const TIniText& Texts, const std::string& Language) {
  for (QObject* Child : Parent->children()) {
    if (IsOtherWindow(Child)) continue;
    if (IsComponent(Child))
      Translate(Child, [&] {
        return QString::fromUtf8(Texts.ReadString(Child->objectName().toStdString(), Language, ""));
      });
    TranslateTree(Child, Texts, Language);
  }
}

}  // namespace

TFrameButton::TFrameButton(const QString& Text, QWidget* Parent) : QPushButton(Text, Parent) {}

TCommandAction::TCommandAction(QObject* Parent) : QAction(Parent) {}

QString LangText(const std::string& ProgramDir, const std::string& Key,
                 const std::string& Language) {
  return QString::fromUtf8(IniReadString(LangFile(ProgramDir), Key, Language, ""));
}

void ApplyLanguage(QWidget* Window, const std::string& ProgramDir, const std::string& Language) {
  if (!Window) return;
  const TIniText Texts = TIniText::Load(LangFile(ProgramDir));
  TranslateTree(Window, Texts, Language);
  Window->setWindowTitle(
      QString::fromUtf8(Texts.ReadString(Window->objectName().toStdString(), Language, "")));
  for (QStatusBar* Bar : Window->findChildren<QStatusBar*>()) {
    if (Bar->window() == Window) Bar->repaint();
  }
}

std::vector<std::string> LangKeys() {
  using namespace LangName;
  return {// Window titles.
          MainForm, OptionsForm, FHelpError, FAbout,
          // Main window.
          submenuFile, menuOpen, menuSave, menuSaveAll, menuExit, submenuView, menuEnglish,
          menuFrench, menuOptions, submenuHelp, menuHelp, menuAbout, buttonOpen, buttonSave,
          buttonSaveAll, buttonHelp, labelPicNum, labelType, labelDimensions, labelColorMode,
          // Options dialog.
          buttonOk, buttonCancel, buttonColor, labelDestDir, labelPrefix, labelBGSquareSize,
          labelColor, labelPicSize, labelChanges,
          // Help-error box.
          labelHelp, labelAdobeLink,
          // Messages.
          mesFileNotLoaded, mesTotal, mesImages, mesExtractingPictures, mesDrawing, mesReady,
          mesSave, mesAllTheImagesWereSaved, mesNothingToSave, mesFileNotWritten,
          mesPNGNotComposed};
}

std::vector<std::string> LangBlankedKeys() {
  return {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6"};
}
