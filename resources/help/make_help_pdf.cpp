// Builds a help PDF from its HTML source:
//   make_help_pdf SOURCE.html OUT.pdf [LANG.ini CODE]
// A4 pages with page numbers; fonts are embedded, so any viewer shows it.
// The source may show the About banner as <img src="quillory:banner">; with
// Lang.ini and a language code its tagline is in that language.
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>

#include "app/Artwork.h"
#include "platform/IniFile.h"

int main(int argc, char** argv) {
  // Runs during the build, without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication App(argc, argv);
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "Usage: make_help_pdf SOURCE.html OUT.pdf [LANG.ini CODE]\n");
    return 2;
  }
  QFile Source(QString::fromLocal8Bit(argv[1]));
  if (!Source.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "make_help_pdf: cannot read %s\n", argv[1]);
    return 1;
  }
  QTextDocument Document;
  // The banner of the About box heads the guide.
  QString Tagline;
  if (argc == 5)
    Tagline = QString::fromUtf8(IniReadString(argv[3], "mesAboutTagline", argv[4], ""));
  Document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("quillory:banner")),
                       Tagline.isEmpty() ? AboutBanner() : AboutBanner(Tagline));
  // Without ligatures, so that words copied or searched in the PDF read as
  // typed ("fi", not one "ﬁ" glyph).
  QFont Font(QStringLiteral("DejaVu Sans"), 10);
  Font.setStyleStrategy(QFont::PreferNoShaping);
  Document.setDefaultFont(Font);
  Document.setHtml(QString::fromUtf8(Source.readAll()));

  const QString Out = QString::fromLocal8Bit(argv[2]);
  {
    QPdfWriter Writer(Out);
    Writer.setPageSize(QPageSize(QPageSize::A4));
    Writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    Writer.setTitle(Document.metaInformation(QTextDocument::DocumentTitle));
    Writer.setCreator(QStringLiteral("Quillory"));
    // The document gets its own 2 cm margins and page numbers when printed.
    Document.print(&Writer);
  }
  QFile Result(Out);
  if (!Result.open(QIODevice::ReadOnly) || Result.size() == 0) {
    std::fprintf(stderr, "make_help_pdf: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
