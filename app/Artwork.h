// Artwork of the About box.
#pragma once

#include <QImage>

// The 300 x 100 product banner with a transparent background.
QImage AboutBanner();
