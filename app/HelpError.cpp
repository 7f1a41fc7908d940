#include "app/HelpError.h"

#include <QKeyEvent>
#include <QShowEvent>
#include <QUrl>

#include "app/LinkLabel.h"
#include "app/Product.h"

TFHelpError::TFHelpError(TSettings& Settings, QWidget* Parent)
    : QDialog(Parent), FSettings(Settings) {
  setObjectName(QLatin1String(LangName::FHelpError));
  setWindowTitle(QStringLiteral("Error"));
  // No border icons at all: the box is left through its button only.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(436, 110);

  labelHelp = new QLabel(this);
  labelHelp->setObjectName(QLatin1String(LangName::labelHelp));
  labelHelp->setGeometry(8, 8, 417, 33);
  labelHelp->setWordWrap(true);
  labelHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  labelAdobeLink = new TLinkLabel(QLatin1String(Product::ReaderVendorHost), this);
  labelAdobeLink->setObjectName(QLatin1String(LangName::labelAdobeLink));
  labelAdobeLink->move(176, 48);
  labelAdobeLink->adjustSize();

  buttonCloseHelpError = new TFrameButton(QStringLiteral("Ok"), this);
  buttonCloseHelpError->setObjectName(QStringLiteral("buttonCloseHelpError"));
  buttonCloseHelpError->setGeometry(176, 72, 81, 25);
  // Enter must not reach the button: only a click or Space closes the box.
  buttonCloseHelpError->setAutoDefault(false);
  buttonCloseHelpError->setDefault(false);

  connect(labelAdobeLink, &TLinkLabel::clicked, this, &TFHelpError::labelAdobeLinkClick);
  connect(buttonCloseHelpError, &QPushButton::clicked, this,
          &TFHelpError::buttonCloseHelpErrorChange);
}

void TFHelpError::showEvent(QShowEvent* Event) {
  if (!Event->spontaneous()) {
    ApplyLanguage(this, FSettings.ProgramDir, FSettings.Language);
    // The address is the distribution's, whatever Lang.ini says.
    labelAdobeLink->setText(QLatin1String(Product::ReaderVendorHost));
    labelAdobeLink->adjustSize();
  }
  QDialog::showEvent(Event);
}

void TFHelpError::keyPressEvent(QKeyEvent* Event) {
  switch (Event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
      Event->accept();  // the box stays until its button is used
      return;
    default:
      QDialog::keyPressEvent(Event);
  }
}

void TFHelpError::labelAdobeLinkClick() {
  UrlOpener(QUrl(QStringLiteral("https://") + QLatin1String(Product::ReaderVendorHost)));
}

void TFHelpError::buttonCloseHelpErrorChange() {
  accept();
}
