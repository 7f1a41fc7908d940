// The program's own artwork, drawn in code so it scales and needs no files:
// the About banner and the application icon.
#pragma once

#include <QImage>
#include <QString>

// The 300 x 100 product banner on a transparent background, its tagline
// under the name.
QImage AboutBanner(const QString& Tagline = QStringLiteral("Pictures out of Flash movies"));

// The application icon, Size x Size pixels, transparent around its tile.
QImage ProgramIcon(int Size);
