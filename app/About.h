// The About box, which also serves as the progress splash of an open.
//
// About role: shown modally with exec(), banner, labels, links and the Ok
// button TBXButton1. Splash role: BeginSplash shows it modeless with
// TBXButton1 hidden and the message TBXLabel1 and SplashProgressBar shown;
// EndSplash restores the About look, gives the box a single fixed border
// (kept for the rest of the run) and closes it. In both roles the box stays
// on top and its title is read from Lang.ini "FAbout" whenever it is shown,
// "About Quillory" when the file has none. Its labels read "mesAbout..."
// texts at the same moment, keeping their English words where the file has
// none; the button keeps its "Ok".
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/Artwork.h"
#include "app/ErrorBox.h"
#include "app/Settings.h"

class TLinkLabel;

class TFAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TFAbout(TSettings& Settings, QWidget* Parent = nullptr);

  // Title used when Lang.ini has no "FAbout" text for the language.
  static constexpr const char* DefaultTitle = "About Quillory";

  QPushButton* PNGButton1;  // the banner; a click opens the web site
  QLabel* Label2;           // "Build 1.6"
  QLabel* Label3;           // rights notice
  QLabel* Label4;           // "Website:"
  TLinkLabel* Label6;       // web address
  QLabel* Label5;           // "Support"
  TLinkLabel* Label7;       // support e-mail address
  QPushButton* TBXButton1;  // "Ok"
  QLabel* TBXLabel1;        // splash message
  QProgressBar* SplashProgressBar;

  void BeginSplash(const QString& Message);
  void SetSplashMessage(const QString& Message);
  // Positions outside 0..100 are stored as the nearest bound.
  void SetSplashProgress(int Position);
  int SplashProgress() const;
  void EndSplash();

  // The labels in the current language (done at every showing).
  void ApplyTexts();

  // The dialog border (close box only) until the first splash ends, then a
  // single fixed border with the usual title-bar buttons.
  enum class TBorder { Dialog, Single };
  TBorder Border() const { return FBorder; }

  // Opens the web site and the mail link; replaced in tests.
  TUrlOpener UrlOpener = OpenUrlWithDesktop;

 protected:
  void showEvent(QShowEvent* Event) override;

 private slots:
  void TBXButton1Click();
  void Label6Click();
  void PNGButton1Click();
  void Label7Click();

 private:
  void SetBorder(TBorder Border);
  void PlaceLinks();

  TSettings& FSettings;
  TBorder FBorder = TBorder::Dialog;
};
