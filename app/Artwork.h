// The program's own artwork, drawn in code so it scales and needs no files:
// the About banner and the application icon.
#pragma once

#include <QImage>

// The 300 x 100 product banner on a transparent background.
QImage AboutBanner();

// The application icon, Size x Size pixels, transparent around its tile.
QImage ProgramIcon(int Size);
