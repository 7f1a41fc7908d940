// The program's pictures, drawn in code: toolbar images, the picture shown
// for a movie without pictures, and the mark of a picture that cannot be
// decoded.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

enum class TToolbarImage { Open, Save, SaveAll, Help };

// A 32 x 32 toolbar image.
QImage ToolbarImage(TToolbarImage Kind);
QIcon ToolbarIcon(TToolbarImage Kind);

// 300 x 225, reading Text (NO IMAGES in the current language).
QImage NoImagesPicture(const QString& Text = QStringLiteral("NO IMAGES"));

// Size x Size: a grey box crossed out, the thumbnail of a picture that
// cannot be decoded.
QImage UndecodablePicture(int Size);
