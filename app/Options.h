// The options dialog: image folder, file-name prefix, checkerboard square
// size and colour, thumbnail size, symbol names in file names, stored
// colours. Every showing fills it from Config.ini;
// OK stores the values in memory and in the file, Cancel and the close box
// discard them. Shown modally with exec().
#pragma once

#include <QAbstractSpinBox>
#include <QColor>
#include <QDialog>
#include <QStringList>

#include "app/ErrorBox.h"
#include "app/Settings.h"

class QCheckBox;
class QColorDialog;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;
class TFolderTreeFilter;

// A whole-number field: at most 9 characters; digits, sign characters and
// the decimal separator can be typed, other printable keys beep; arrows
// step by 1. Values set from outside the range are stored as the nearest
// bound, a typed one is brought to it when the field loses the focus. Text
// that is not a whole number reads as the range's minimum.
class TSpinField : public QAbstractSpinBox {
  Q_OBJECT
 public:
  TSpinField(int MinValue, int MaxValue, int Value, QWidget* Parent = nullptr);

  static constexpr int MaxLength = 9;

  int MinValue() const { return FMin; }
  int MaxValue() const { return FMax; }
  // The text read as a number, within the range.
  int Value() const;
  void SetValue(int Value);
  // The field's text as the user edits it.
  using QAbstractSpinBox::lineEdit;

  QValidator::State validate(QString& Input, int& Pos) const override;
  void stepBy(int Steps) override;

 protected:
  StepEnabled stepEnabled() const override;
  void keyPressEvent(QKeyEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;

 private:
  int Clamp(int Value) const;
  int FMin, FMax;
};

// Roots of the mounted volumes in path order, each once: the drive list.
QStringList FillDriveList();

// True when pictures can be saved in Folder: an existing folder the program
// may create files in.
bool CanSaveInFolder(const QString& Folder);

// Folder field text for a folder picked in the tree: its path + "/" (a root
// such as "/" thus gives "//"); an item without a path gives "/".
QString FolderFieldText(const QString& Path);

// BGColor (red in the low byte) and the colour it names.
QColor ColorFromBGColor(int32_t Value);
int32_t BGColorFromColor(const QColor& Color);

class TOptionsForm : public QDialog {
  Q_OBJECT
 public:
  explicit TOptionsForm(TSettings& Settings, QWidget* Parent = nullptr);
  ~TOptionsForm() override;

  QLabel* labelDestDir;
  QLineEdit* editDestDir;
  QComboBox* comboDrives;  // editable; design-time text "/"
  QTreeView* ShellTreeView1;
  QLabel* labelPrefix;
  QLineEdit* editPrefix;
  QLabel* labelBGSquareSize;
  TSpinField* spinBGSSize;  // 5..50
  QLabel* labelColor;
  QPushButton* buttonColor;
  QLabel* labelPicSize;
  TSpinField* spinPicSize;  // 50..200
  QCheckBox* checkNamesInFiles;
  QCheckBox* checkPremultiplied;
  QLabel* labelChanges;
  // Shown while the folder field names a folder pictures cannot be saved in.
  QLabel* labelFolderWarning;
  QPushButton* buttonOk;
  QPushButton* buttonCancel;
  QColorDialog* ColorDialog1;

  // The folder the tree is rooted at.
  QString TreeRoot() const { return FRoot; }
  // The picker's colour: the working copy of BGColor.
  QColor PickerColor() const;
  void SetPickerColor(const QColor& Color);

  // Shows "Error setting path: ..." when a root cannot be opened, and the
  // warning about a folder pictures cannot be saved in; replaced in tests.
  TErrorBox ErrorBox = ShowStandardError;

 protected:
  void showEvent(QShowEvent* Event) override;

 private slots:
  void buttonOkClick();
  void buttonCancelClick();
  void buttonColorClick();
  void comboDrivesChange(const QString& Text);
  void ShellTreeView1Change();

 private:
  // Roots the tree at Root and selects the root item; false when Root is
  // not a readable folder (the tree is then rooted at the previous root).
  bool SetTreeRoot(const QString& Root);
  void ShowRoot(const QString& Root);
  void FillFields();
  void FitNote();

  TSettings& FSettings;
  QFileSystemModel* FModel;
  TFolderTreeFilter* FFilter;
  QString FRoot;
  QColor FColor;
};
