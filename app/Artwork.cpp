#include "app/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QImage AboutBanner() {
  QImage Image(300, 100, QImage::Format_ARGB32_Premultiplied);
  Image.fill(Qt::transparent);
  QPainter P(&Image);
  P.setRenderHint(QPainter::Antialiasing);

  // A quill over a small picture frame.
  P.setPen(QPen(QColor(60, 90, 150), 2));
  P.setBrush(QColor(235, 240, 250));
  P.drawRoundedRect(QRectF(12, 22, 64, 56), 6, 6);
  QPainterPath Quill;
  Quill.moveTo(30, 80);
  Quill.cubicTo(45, 50, 70, 20, 92, 10);
  Quill.cubicTo(80, 35, 60, 60, 30, 80);
  QLinearGradient Feather(30, 80, 92, 10);
  Feather.setColorAt(0, QColor(40, 70, 140));
  Feather.setColorAt(1, QColor(120, 170, 230));
  P.setPen(QPen(QColor(30, 50, 110), 1));
  P.setBrush(Feather);
  P.drawPath(Quill);

  QFont Font = P.font();
  Font.setPixelSize(40);
  Font.setBold(true);
  P.setFont(Font);
  P.setPen(QColor(40, 60, 110));
  P.drawText(QRectF(100, 20, 200, 60), Qt::AlignLeft | Qt::AlignVCenter, "Quillory");
  return Image;
}
