#include "app/About.h"

#include <QPixmap>
#include <QShowEvent>
#include <QUrl>
#include <algorithm>

#include "app/Lang.h"
#include "app/LinkLabel.h"
#include "app/Product.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

namespace {

constexpr int ClientWidth = 382;
constexpr int ClientHeight = 264;

// A label at its place, sized to its text.
template <typename TLabel>
TLabel* PlaceLabel(TLabel* Label, const char* Name, int X, int Y) {
  Label->setObjectName(QLatin1String(Name));
  Label->move(X, Y);
  Label->adjustSize();
  return Label;
}

}  // namespace

TFAbout::TFAbout(TSettings& Settings, QWidget* Parent) : QDialog(Parent), FSettings(Settings) {
  setObjectName(QLatin1String(LangName::FAbout));
  setWindowTitle(QStringLiteral("About"));
  setFixedSize(ClientWidth, ClientHeight);

  PNGButton1 = new QPushButton(this);
  PNGButton1->setObjectName(QStringLiteral("PNGButton1"));
  PNGButton1->setGeometry(16, 16, 350, 100);
  PNGButton1->setFlat(true);
  PNGButton1->setAutoDefault(false);
  PNGButton1->setFocusPolicy(Qt::NoFocus);
  PNGButton1->setCursor(Qt::PointingHandCursor);
  const QImage Banner = AboutBanner();
  PNGButton1->setIcon(QPixmap::fromImage(Banner));
  PNGButton1->setIconSize(Banner.size());
  PNGButton1->setToolTip(QLatin1String(Product::WebAddress));

  Label2 = PlaceLabel(new QLabel(QLatin1String(Product::Build), this), "Label2", 40, 128);
  Label3 =
      PlaceLabel(new QLabel(QString::fromUtf8(Product::RightsNotice), this), "Label3", 40, 152);
  Label4 = PlaceLabel(new QLabel(QStringLiteral("Website:"), this), "Label4", 40, 176);
  Label6 = PlaceLabel(new TLinkLabel(QLatin1String(Product::WebAddress), this), "Label6", 88, 176);
  Label5 = PlaceLabel(new QLabel(QStringLiteral("Support"), this), "Label5", 40, 200);
  Label7 = PlaceLabel(new TLinkLabel(QLatin1String(Product::SupportMail), this), "Label7", 88, 200);

  PlaceLinks();

  TBXButton1 = new QPushButton(QStringLiteral("Ok"), this);
  TBXButton1->setObjectName(QStringLiteral("TBXButton1"));
  TBXButton1->setGeometry(144, 232, 100, 21);

  TBXLabel1 = new QLabel(this);
  TBXLabel1->setObjectName(QStringLiteral("TBXLabel1"));
  // At least one line of the running font, which may be taller than 13.
  TBXLabel1->setGeometry(8, 232, 201, std::max(13, TBXLabel1->fontMetrics().height()));
  TBXLabel1->hide();

  SplashProgressBar = new QProgressBar(this);
  SplashProgressBar->setObjectName(QStringLiteral("SplashProgressBar"));
  SplashProgressBar->setGeometry(8, 249, 369, 8);
  SplashProgressBar->setRange(0, 100);
  SplashProgressBar->setValue(0);
  SplashProgressBar->setTextVisible(false);
  SplashProgressBar->hide();

  connect(TBXButton1, &QPushButton::clicked, this, &TFAbout::TBXButton1Click);
  connect(PNGButton1, &QPushButton::clicked, this, &TFAbout::PNGButton1Click);
  connect(Label6, &TLinkLabel::clicked, this, &TFAbout::Label6Click);
  connect(Label7, &TLinkLabel::clicked, this, &TFAbout::Label7Click);

  SetBorder(TBorder::Dialog);
}

void TFAbout::SetBorder(TBorder Border) {
  FBorder = Border;
  // Both keep the box on top and unsizeable; the dialog border offers only
  // the close box, the single border is an ordinary window frame.
  const Qt::WindowFlags Kind = Border == TBorder::Dialog ? Qt::Dialog : Qt::Window;
  setWindowFlags(Kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowStaysOnTopHint);
}

void TFAbout::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) {
    const std::string File = FindResourceFile(FSettings.ProgramDir, "Lang.ini");
    setWindowTitle(
        QString::fromUtf8(IniReadString(File, LangName::FAbout, FSettings.Language, DefaultTitle)));
    ApplyTexts();
  }
  QDialog::showEvent(Event);
  update();
}

void TFAbout::ApplyTexts() {
  // The box's own words in the current language; a text Lang.ini lacks
  // keeps the box's English one.
  const std::string File = FindResourceFile(FSettings.ProgramDir, "Lang.ini");
  const auto Apply = [&](QLabel* Label, const char* Key, const QString& English) {
    const QString Text = QString::fromUtf8(IniReadString(File, Key, FSettings.Language, ""));
    Label->setText(Text.isEmpty() ? English : Text);
    Label->adjustSize();
  };
  Apply(Label2, mesAboutBuild, QLatin1String(Product::Build));
  // Lang.ini says "Build %1": the number is the build's own.
  Label2->setText(Label2->text().replace(QLatin1String("%1"), QLatin1String(QUILLORY_VERSION)));
  Label2->adjustSize();
  Apply(Label3, mesAboutRights, QString::fromUtf8(Product::RightsNotice));
  Apply(Label4, mesAboutWebsite, QStringLiteral("Website:"));
  Apply(Label5, mesAboutSupport, QStringLiteral("Support"));
  const QString Tagline =
      QString::fromUtf8(IniReadString(File, mesAboutTagline, FSettings.Language, ""));
  const QImage Banner = Tagline.isEmpty() ? AboutBanner() : AboutBanner(Tagline);
  PNGButton1->setIcon(QPixmap::fromImage(Banner));
  PlaceLinks();
}

void TFAbout::PlaceLinks() {
  // The links start where the design puts them, or after their captions
  // when the running font or the language makes those wider.
  const int LinkX = std::max({88, Label4->geometry().right() + 6, Label5->geometry().right() + 6});
  Label6->move(LinkX, Label6->y());
  Label7->move(LinkX, Label7->y());
}

void TFAbout::BeginSplash(const QString& Message) {
  TBXButton1->hide();
  SplashProgressBar->setValue(0);
  SplashProgressBar->show();
  TBXLabel1->setText(Message);
  TBXLabel1->show();
  setModal(false);
  show();
  raise();
  repaint();
}

void TFAbout::SetSplashMessage(const QString& Message) {
  TBXLabel1->setText(Message);
  TBXLabel1->repaint();
}

void TFAbout::SetSplashProgress(int Position) {
  SplashProgressBar->setValue(std::clamp(Position, 0, 100));
  SplashProgressBar->repaint();
}

int TFAbout::SplashProgress() const {
  return SplashProgressBar->value();
}

void TFAbout::EndSplash() {
  TBXButton1->show();
  SplashProgressBar->hide();
  TBXLabel1->hide();
  SetBorder(TBorder::Single);  // hides the box as a side effect
  close();
}

void TFAbout::TBXButton1Click() {
  close();
}

void TFAbout::Label6Click() {
  UrlOpener(QUrl(QLatin1String(Product::WebAddress)));
}

void TFAbout::PNGButton1Click() {
  UrlOpener(QUrl(QLatin1String(Product::WebAddress)));
}

void TFAbout::Label7Click() {
  UrlOpener(QUrl(QStringLiteral("mailto:") + QLatin1String(Product::SupportMail) +
                 QStringLiteral("?subject=") + QLatin1String(Product::SupportSubject)));
}
