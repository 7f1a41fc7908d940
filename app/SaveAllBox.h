// The box at the end of a Save all that did not write everything: the
// lines under a heading, a button that opens the image folder and a Close
// button, all in the current language. The caller shows it.
#pragma once

#include <QMessageBox>
#include <QStringList>

#include "app/Settings.h"

class QPushButton;

class TSaveAllBox : public QMessageBox {
  Q_OBJECT
 public:
  TSaveAllBox(const QStringList& Lines, const TSettings& Settings, QWidget* Owner = nullptr);

  QPushButton* buttonOpenImageFolder;
  bool OpenFolderChosen() const;
};
