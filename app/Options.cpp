#include "app/Options.h"

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QSortFilterProxyModel>
#include <QStorageInfo>
#include <QTreeView>
#include <algorithm>

#include "app/Lang.h"

// ---------------------------------------------------------------------------
// Spin field

TSpinField::TSpinField(int MinValue, int MaxValue, int Value, QWidget* Parent)
    : QAbstractSpinBox(Parent), FMin(MinValue), FMax(MaxValue) {
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lineEdit()->setMaxLength(MaxLength);
  SetValue(Value);
}

int TSpinField::Clamp(int Value) const {
  return std::clamp(Value, FMin, FMax);
}

int TSpinField::Value() const {
  bool Ok = false;
  const int Number = text().toInt(&Ok, 10);
  return Ok ? Clamp(Number) : FMin;
}

void TSpinField::SetValue(int Value) {
  lineEdit()->setText(QString::number(Clamp(Value)));
}

namespace {

bool IsSpinCharacter(QChar Char) {
  return Char.isDigit() || Char == QLatin1Char('+') || Char == QLatin1Char('-') ||
         QLocale().decimalPoint().contains(Char);
}

}  // namespace

QValidator::State TSpinField::validate(QString& Input, int& /*Pos*/) const {
  if (Input.size() > MaxLength) return QValidator::Invalid;
  for (QChar Char : Input)
    if (!IsSpinCharacter(Char)) return QValidator::Invalid;
  // Any text of these characters may stand while typing; it is read when
  // the value is asked for.
  return QValidator::Acceptable;
}

void TSpinField::stepBy(int Steps) {
  SetValue(
      static_cast<int>(std::clamp<long long>(static_cast<long long>(Value()) + Steps, FMin, FMax)));
  if (hasFocus()) selectAll();
}

QAbstractSpinBox::StepEnabled TSpinField::stepEnabled() const {
  const int Current = Value();
  StepEnabled Enabled = StepNone;
  if (Current < FMax) Enabled |= StepUpEnabled;
  if (Current > FMin) Enabled |= StepDownEnabled;
  return Enabled;
}

void TSpinField::keyPressEvent(QKeyEvent* Event) {
  const QString Text = Event->text();
  const bool Command =
      Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (!Command && Text.size() == 1 && Text[0].isPrint() && !IsSpinCharacter(Text[0])) {
    QApplication::beep();
    Event->accept();
    return;
  }
  QAbstractSpinBox::keyPressEvent(Event);
}

void TSpinField::focusOutEvent(QFocusEvent* Event) {
  QAbstractSpinBox::focusOutEvent(Event);
  bool Ok = false;
  const int Number = text().toInt(&Ok, 10);
  if (Ok && Number != Clamp(Number)) SetValue(Number);
}

// ---------------------------------------------------------------------------
// Drive list, folder texts, colours

QStringList FillDriveList() {
  QStringList Roots;
  for (const QStorageInfo& Volume : QStorageInfo::mountedVolumes()) {
    // Containers mount single files (/etc/hosts, ...): no folder to browse.
    if (Volume.isValid() && Volume.isReady() && QFileInfo(Volume.rootPath()).isDir())
      Roots << Volume.rootPath();
  }
  Roots.sort();
  Roots.removeDuplicates();
  return Roots;
}

bool CanSaveInFolder(const QString& Folder) {
  if (Folder.isEmpty() || !QFileInfo(Folder).isDir()) return false;
  // The system's own answer, which knows about read-only mounts as well
  // as permissions.
  return access(QFile::encodeName(Folder).constData(), W_OK | X_OK) == 0;
}

QString FolderFieldText(const QString& Path) {
  return Path + QLatin1Char('/');
}

QColor ColorFromBGColor(int32_t Value) {
  return QColor(Value & 0xFF, (Value >> 8) & 0xFF, (Value >> 16) & 0xFF);
}

int32_t BGColorFromColor(const QColor& Color) {
  return Color.red() | (Color.green() << 8) | (Color.blue() << 16);
}

// ---------------------------------------------------------------------------
// Folder tree

namespace {

// Path lies in Folder (or is it).
bool IsWithin(const QString& Path, const QString& Folder) {
  if (Path == Folder || Folder == QLatin1String("/")) return true;
  return Path.startsWith(Folder + QLatin1Char('/'));
}

}  // namespace

// Keeps of the file system only the tree's root, what lies below it, and
// the folders leading to it (which the view does not show): the root is then
// the only top item.
class TFolderTreeFilter : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

  void SetRoot(const QString& Root) {
    FRoot = Root;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int Row, const QModelIndex& Parent) const override {
    if (FRoot.isEmpty()) return false;
    const auto* Model = static_cast<const QFileSystemModel*>(sourceModel());
    const QString Path = Model->filePath(Model->index(Row, 0, Parent));
    return IsWithin(Path, FRoot) || IsWithin(FRoot, Path);
  }

 private:
  QString FRoot;
};

// ---------------------------------------------------------------------------
// Options dialog

namespace {

QLabel* MakeCaption(QWidget* Parent, const char* Name, const QRect& Place) {
  auto* Label = new QLabel(QLatin1String(Name), Parent);
  Label->setObjectName(QLatin1String(Name));
  Label->setGeometry(Place);
  Label->setWordWrap(true);
  Label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return Label;
}

QPushButton* MakeButton(QWidget* Parent, const char* Name, const QRect& Place) {
  auto* Button = new QPushButton(QLatin1String(Name), Parent);
  Button->setObjectName(QLatin1String(Name));
  Button->setGeometry(Place);
  // No default button: Enter in a field does not confirm the dialog.
  Button->setAutoDefault(false);
  return Button;
}

// Place of the note; one line of the running font may be taller than 13.
// Below the folder tree and the right-hand fields: the two switches, then
// the note, the folder warning and the buttons.
constexpr int SwitchesTop = 292, SwitchHeight = 22;
constexpr int BelowSwitches = SwitchesTop + 2 * SwitchHeight + 4;
const QRect NoteArea(192, BelowSwitches, 345, 13);

QIcon ColorSwatch(const QColor& Color) {
  QPixmap Swatch(14, 14);
  Swatch.fill(Color);
  QPainter Painter(&Swatch);
  Painter.setPen(QColor(0x60, 0x60, 0x60));
  Painter.drawRect(0, 0, 13, 13);
  return QIcon(Swatch);
}

}  // namespace

TOptionsForm::TOptionsForm(TSettings& Settings, QWidget* Parent)
    : QDialog(Parent), FSettings(Settings) {
  setObjectName(QLatin1String(LangName::OptionsForm));
  setWindowTitle(QStringLiteral("Options"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(550, BelowSwitches + 64);

  labelDestDir = MakeCaption(this, LangName::labelDestDir, QRect(8, 0, 265, 30));
  editDestDir = new QLineEdit(this);
  editDestDir->setObjectName(QStringLiteral("editDestDir"));
  editDestDir->setGeometry(8, 32, 265, 21);

  comboDrives = new QComboBox(this);
  comboDrives->setObjectName(QStringLiteral("comboDrives"));
  comboDrives->setGeometry(8, 56, 265, 21);
  comboDrives->setEditable(true);
  comboDrives->setInsertPolicy(QComboBox::NoInsert);
  comboDrives->setEditText(QString::fromLatin1(TSettings::DefaultRootDir));

  FModel = new QFileSystemModel(this);
  FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  FModel->setOption(QFileSystemModel::DontWatchForChanges);
  FModel->setReadOnly(true);
  FFilter = new TFolderTreeFilter(this);
  FFilter->setSourceModel(FModel);
  FFilter->setSortCaseSensitivity(Qt::CaseInsensitive);

  ShellTreeView1 = new QTreeView(this);
  ShellTreeView1->setObjectName(QStringLiteral("ShellTreeView1"));
  ShellTreeView1->setGeometry(8, 80, 265, 201);
  ShellTreeView1->setModel(FFilter);
  ShellTreeView1->setHeaderHidden(true);
  for (int Column = 1; Column < FModel->columnCount(); ++Column) ShellTreeView1->hideColumn(Column);
  ShellTreeView1->setSortingEnabled(true);
  ShellTreeView1->sortByColumn(0, Qt::AscendingOrder);
  ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ShellTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

  labelPrefix = MakeCaption(this, LangName::labelPrefix, QRect(304, 0, 233, 30));
  editPrefix = new QLineEdit(this);
  editPrefix->setObjectName(QStringLiteral("editPrefix"));
  editPrefix->setGeometry(304, 32, 233, 21);
  editPrefix->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  labelBGSquareSize = MakeCaption(this, LangName::labelBGSquareSize, QRect(304, 80, 236, 30));
  spinBGSSize = new TSpinField(5, 50, 10, this);
  spinBGSSize->setObjectName(QStringLiteral("spinBGSSize"));
  spinBGSSize->setGeometry(304, 112, 234, 22);

  labelColor = MakeCaption(this, LangName::labelColor, QRect(304, 160, 233, 30));
  buttonColor = MakeButton(this, LangName::buttonColor, QRect(304, 192, 236, 21));

  labelPicSize = MakeCaption(this, LangName::labelPicSize, QRect(304, 232, 228, 30));
  spinPicSize = new TSpinField(50, 200, 100, this);
  spinPicSize->setObjectName(QStringLiteral("spinPicSize"));
  spinPicSize->setGeometry(304, 256, 233, 22);

  // Their texts come from Lang.ini when the dialog is shown, as the captions' do.
  checkNamesInFiles = new QCheckBox(QLatin1String(LangName::checkNamesInFiles), this);
  checkNamesInFiles->setObjectName(QLatin1String(LangName::checkNamesInFiles));
  checkNamesInFiles->setGeometry(8, SwitchesTop, 534, SwitchHeight);
  checkPremultiplied = new QCheckBox(QLatin1String(LangName::checkPremultiplied), this);
  checkPremultiplied->setObjectName(QLatin1String(LangName::checkPremultiplied));
  checkPremultiplied->setGeometry(8, SwitchesTop + SwitchHeight, 534, SwitchHeight);

  labelChanges = new QLabel(QLatin1String(LangName::labelChanges), this);
  labelChanges->setObjectName(QLatin1String(LangName::labelChanges));
  // One line of the running font, which may be taller than 13.
  labelChanges->setGeometry(NoteArea.x(), NoteArea.y(), NoteArea.width(),
                            std::max(NoteArea.height(), labelChanges->fontMetrics().height()));
  labelChanges->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  labelFolderWarning = new QLabel(this);
  labelFolderWarning->setObjectName(QLatin1String(LangName::labelFolderWarning));
  labelFolderWarning->setGeometry(8, BelowSwitches + 18, 312, 40);
  labelFolderWarning->setWordWrap(true);
  labelFolderWarning->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QPalette Warning = labelFolderWarning->palette();
  Warning.setColor(QPalette::WindowText, QColor(180, 20, 20));
  labelFolderWarning->setPalette(Warning);
  labelFolderWarning->hide();
  // Told at once, while the folder is chosen, not at the first failed save.
  connect(editDestDir, &QLineEdit::textChanged, this, [this](const QString& Folder) {
    labelFolderWarning->setVisible(!CanSaveInFolder(Folder));
  });

  buttonOk = MakeButton(this, LangName::buttonOk, QRect(328, BelowSwitches + 24, 100, 21));
  buttonCancel = MakeButton(this, LangName::buttonCancel, QRect(440, BelowSwitches + 24, 100, 21));

  ColorDialog1 = new QColorDialog(this);
  ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
  ColorDialog1->setOption(QColorDialog::ShowAlphaChannel, false);
  // Qt's own picker speaks the language chosen here, not the desktop's.
  ColorDialog1->setOption(QColorDialog::DontUseNativeDialog, true);
  FColor = ColorFromBGColor(TSettings::DefaultBGColor);
  buttonColor->setIcon(ColorSwatch(FColor));

  connect(buttonOk, &QPushButton::clicked, this, &TOptionsForm::buttonOkClick);
  connect(buttonCancel, &QPushButton::clicked, this, &TOptionsForm::buttonCancelClick);
  connect(buttonColor, &QPushButton::clicked, this, &TOptionsForm::buttonColorClick);
  connect(comboDrives, &QComboBox::currentTextChanged, this, &TOptionsForm::comboDrivesChange);
  connect(ShellTreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TOptionsForm::ShellTreeView1Change);
}

TOptionsForm::~TOptionsForm() = default;

QColor TOptionsForm::PickerColor() const {
  return FColor;
}

void TOptionsForm::SetPickerColor(const QColor& Color) {
  FColor = Color;
  buttonColor->setIcon(ColorSwatch(Color));
}

void TOptionsForm::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) {
    // The list is rebuilt, the text typed or picked last time stays.
    const QString Text = comboDrives->currentText();
    {
      const QSignalBlocker Quiet(comboDrives);
      comboDrives->clear();
      comboDrives->addItems(FillDriveList());
      comboDrives->setCurrentIndex(comboDrives->findText(Text));
      comboDrives->setEditText(Text);
    }
    // A root that cannot be opened keeps the previous one, silently; the
    // fields are filled from the file all the same, so edits cancelled last
    // time never pass for the file's values.
    SetTreeRoot(Text);
    FillFields();
    ApplyLanguage(this, FSettings.ProgramDir, FSettings.Language);
    FitNote();
  }
  QDialog::showEvent(Event);
}

void TOptionsForm::FitNote() {
  // The note keeps its right edge; a text longer than its place grows it to
  // the left rather than losing its first words.
  const int Right = NoteArea.x() + NoteArea.width();
  const int Needed = labelChanges->fontMetrics().horizontalAdvance(labelChanges->text()) + 2;
  const int Left = std::max(8, Right - std::max(NoteArea.width(), Needed));
  labelChanges->setGeometry(Left, NoteArea.y(), Right - Left, labelChanges->height());
}

void TOptionsForm::FillFields() {
  const TSettings::TOptionValues Values = FSettings.ReadOptions();
  editDestDir->setText(QString::fromStdString(Values.ImageDir));
  // The same text as last time changes nothing, yet the folder may have
  // come or gone since.
  labelFolderWarning->setVisible(!CanSaveInFolder(editDestDir->text()));
  editPrefix->setText(QString::fromStdString(Values.Prefix));
  spinBGSSize->SetValue(Values.BGSquareSize);
  SetPickerColor(ColorFromBGColor(Values.BGColor));
  spinPicSize->SetValue(Values.PicSize);
  checkNamesInFiles->setChecked(Values.NamesInFiles);
  checkPremultiplied->setChecked(Values.Premultiplied);
}

bool TOptionsForm::SetTreeRoot(const QString& Root) {
  if (Root == FRoot) return true;
  const QFileInfo Info(Root);
  if (Root.isEmpty() || !QDir::isAbsolutePath(Root) || !Info.isDir() || !Info.isReadable() ||
      !Info.isExecutable()) {
    if (!FRoot.isEmpty()) ShowRoot(FRoot);
    return false;
  }
  FRoot = Root;
  ShowRoot(Root);
  return true;
}

void TOptionsForm::ShowRoot(const QString& Root) {
  const QString Clean = QDir::cleanPath(Root);
  FModel->setRootPath(Clean);
  FFilter->SetRoot(Clean);
  const QModelIndex Item = FFilter->mapFromSource(FModel->index(Clean));
  ShellTreeView1->setRootIndex(Item.parent());
  const bool Unchanged = ShellTreeView1->currentIndex() == Item;
  ShellTreeView1->setCurrentIndex(Item);
  ShellTreeView1->expand(Item);
  // Selecting the item that is already current reports no change.
  if (Unchanged) ShellTreeView1Change();
}

void TOptionsForm::comboDrivesChange(const QString& Text) {
  if (Text == FRoot) return;
  if (SetTreeRoot(Text)) return;
  QString Message =
      LangFormat(FSettings.ProgramDir, mesErrorSettingPath, FSettings.Language, {Text});
  if (Message.isEmpty()) Message = QStringLiteral("Error setting path: \"%1\"").arg(Text);
  ErrorBox(this, Message);
}

void TOptionsForm::ShellTreeView1Change() {
  const QModelIndex Item = ShellTreeView1->currentIndex();
  const QString Path = Item.isValid() ? FModel->filePath(FFilter->mapToSource(Item)) : QString();
  editDestDir->setText(FolderFieldText(Path));
}

void TOptionsForm::buttonColorClick() {
  ColorDialog1->setCurrentColor(FColor);
  if (ColorDialog1->exec() == QDialog::Accepted) SetPickerColor(ColorDialog1->selectedColor());
}

void TOptionsForm::buttonOkClick() {
  // A "/" would send the pictures into other folders: such a prefix is
  // refused, and the one in force is put back.
  if (editPrefix->text().contains(QLatin1Char('/'))) {
    QString Message = LangFormat(FSettings.ProgramDir, mesPrefixRefused, FSettings.Language,
                                 {editPrefix->text()});
    if (Message.isEmpty())
      Message = QStringLiteral("The file-name prefix \"%1\" cannot hold a \"/\".")
                    .arg(editPrefix->text());
    ErrorBox(this, Message);
    editPrefix->setText(QString::fromStdString(FSettings.Prefix));
    editPrefix->setFocus();
    return;
  }
  // The folder is stored as typed all the same: it may be a disk that is
  // not mounted yet.
  if (!CanSaveInFolder(editDestDir->text())) {
    QString Message = LangFormat(FSettings.ProgramDir, mesFolderNotWritable, FSettings.Language,
                                 {editDestDir->text()});
    if (Message.isEmpty())
      Message = QStringLiteral(
                    "Pictures cannot be saved in %1: the folder does not exist or "
                    "cannot be written to.")
                    .arg(editDestDir->text());
    ErrorBox(this, Message);
  }
  TSettings::TOptionValues Values;
  Values.ImageDir = editDestDir->text().toStdString();
  Values.Prefix = editPrefix->text().toStdString();
  Values.BGSquareSize = spinBGSSize->Value();
  Values.BGColor = BGColorFromColor(FColor);
  Values.PicSize = spinPicSize->Value();
  Values.NamesInFiles = checkNamesInFiles->isChecked();
  Values.Premultiplied = checkPremultiplied->isChecked();
  FSettings.SaveOptions(Values);
  accept();
}

void TOptionsForm::buttonCancelClick() {
  reject();
}
