// The help guides the build places beside the programs.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

namespace {

const QString BinDir = QStringLiteral(QUILLORY_BIN_DIR "/");

QString RunTool(const QString& Program, const QStringList& Args) {
  QProcess Process;
  Process.start(Program, Args);
  if (!Process.waitForFinished(60000) || Process.exitCode() != 0) return {};
  return QString::fromUtf8(Process.readAllStandardOutput());
}

struct TGuide {
  const char* File;
  // Phrases that must be readable as text in the document, and phrases of
  // the other language that must not be there.
  QStringList Own, Other;
};

const TGuide Guides[] = {
    {"Help_eng.pdf",
     {"Quillory user guide",
      "Opening a movie",
      "checkerboard",
      "Picture number",
      "Color mode",
      "Save all pictures",
      "Image7.jpg",
      "Config.ini",
      "Lang.ini",
      "TEMP/",
      "IMAGES/",
      "quillory-extract",
      "View › Options...",
      "Français",
      "Open recent",
      "Ctrl+Shift+S",
      "Open image folder",
      "Actual size",
      "quillory MOVIE.swf",
      "Drag and drop",
      "Where Quillory keeps its files",
      "~/.config/quillory/",
      "--files-from",
      "man quillory-extract"},
     {"Enregistrer toutes les images", "damier"}},
    {"Help_fra.pdf",
     {"Guide d'utilisation de Quillory", "Ouvrir une animation", "damier", "Numéro",
      "Enregistrer toutes les images", "Préfixe des noms de fichier", "Image7.jpg", "Config.ini",
      "Lang.ini", "TEMP/", "IMAGES/", "quillory-extract", "À propos de Quillory",
      "Animations récentes", "Ctrl+Maj+S", "Ouvrir le dossier des images", "Taille réelle",
      "quillory ANIMATION.swf", "Glisser-déposer", "Où Quillory garde ses fichiers",
      "~/.config/quillory/", "--files-from", "man quillory-extract"},
     {"Save all pictures", "checkerboard"}},
};

TEST(HelpPdf, BothGuidesAreWholePdfFiles) {
  for (const TGuide& Guide : Guides) {
    SCOPED_TRACE(Guide.File);
    QFile Pdf(BinDir + Guide.File);
    ASSERT_TRUE(Pdf.open(QIODevice::ReadOnly));
    const QByteArray Bytes = Pdf.readAll();
    EXPECT_TRUE(Bytes.startsWith("%PDF-"));
    EXPECT_TRUE(Bytes.right(32).contains("%%EOF"));
    EXPECT_GT(Bytes.size(), 10000);
  }
}

TEST(HelpPdf, TextInItsOwnLanguageOnA4Pages) {
  const QString ToText = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
  const QString Info = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
  if (ToText.isEmpty() || Info.isEmpty()) GTEST_SKIP() << "poppler-utils not installed";
  for (const TGuide& Guide : Guides) {
    SCOPED_TRACE(Guide.File);
    const QString Path = BinDir + Guide.File;
    // Lines joined: a phrase may break across lines.
    const QString Text = RunTool(ToText, {QStringLiteral("-enc"), QStringLiteral("UTF-8"), Path,
                                          QStringLiteral("-")})
                             .simplified();
    ASSERT_FALSE(Text.isEmpty());
    for (const QString& Phrase : Guide.Own)
      EXPECT_TRUE(Text.contains(Phrase)) << Phrase.toStdString();
    for (const QString& Phrase : Guide.Other)
      EXPECT_FALSE(Text.contains(Phrase)) << Phrase.toStdString();

    const QString Facts = RunTool(Info, {Path});
    EXPECT_TRUE(Facts.contains(QStringLiteral("(A4)"))) << Facts.toStdString();
    const qsizetype PagesAt = Facts.indexOf(QStringLiteral("Pages:"));
    ASSERT_GE(PagesAt, 0);
    const int Pages = Facts.mid(PagesAt + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
    EXPECT_GE(Pages, 3);
  }
}

}  // namespace
