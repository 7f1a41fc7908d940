// The box shown when the help document cannot be opened: an explanation
// from Lang.ini, the PDF reader vendor's address as a link, and an "Ok"
// button that ApplyLanguage leaves alone. It has no close box; only a left
// click released on "Ok", or Space while "Ok" has the focus, closes it
// (Enter and Escape do not).
#pragma once

#include <QDialog>
#include <QLabel>

#include "app/ErrorBox.h"
#include "app/Lang.h"
#include "app/Settings.h"

class TLinkLabel;

class TFHelpError : public QDialog {
  Q_OBJECT
 public:
  explicit TFHelpError(TSettings& Settings, QWidget* Parent = nullptr);

  QLabel* labelHelp;
  TLinkLabel* labelAdobeLink;
  TFrameButton* buttonCloseHelpError;

  // Opens the vendor's web site; replaced in tests.
  TUrlOpener UrlOpener = OpenUrlWithDesktop;

 protected:
  void showEvent(QShowEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

 private slots:
  void labelAdobeLinkClick();
  void buttonCloseHelpErrorChange();

 private:
  TSettings& FSettings;
};
