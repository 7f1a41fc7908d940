#include "app/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// A quill lying along the x axis from its nib (0, 0) to its tip (1, 0),
// drawn into the painter's current coordinates.
void DrawQuill(QPainter& Painter, const QColor& Vane, const QColor& Edge) {
  QPainterPath Feather;
  Feather.moveTo(0.22, 0.0);
  Feather.cubicTo(0.34, -0.13, 0.72, -0.17, 1.0, 0.0);
  Feather.cubicTo(0.78, 0.08, 0.42, 0.11, 0.22, 0.0);
  QLinearGradient Shade(0.5, -0.2, 0.5, 0.15);
  Shade.setColorAt(0.0, Vane.lighter(115));
  Shade.setColorAt(1.0, Vane.darker(112));
  Painter.setPen(QPen(Edge, 0.012));
  Painter.setBrush(Shade);
  Painter.drawPath(Feather);

  // Cuts in the vane, as on a real feather.
  Painter.setPen(QPen(Edge, 0.014, Qt::SolidLine, Qt::RoundCap));
  Painter.drawLine(QPointF(0.48, -0.02), QPointF(0.55, -0.11));
  Painter.drawLine(QPointF(0.70, -0.01), QPointF(0.78, -0.09));
  Painter.drawLine(QPointF(0.40, 0.01), QPointF(0.45, 0.07));

  // Shaft and nib.
  Painter.setPen(QPen(Edge, 0.022, Qt::SolidLine, Qt::RoundCap));
  Painter.drawLine(QPointF(0.06, 0.0), QPointF(0.96, 0.0));
  QPainterPath Nib;
  Nib.moveTo(0.0, 0.0);
  Nib.lineTo(0.10, -0.03);
  Nib.lineTo(0.10, 0.03);
  Nib.closeSubpath();
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(QColor(0x26, 0x2B, 0x33));
  Painter.drawPath(Nib);
}

// A checkerboard picture card, the thing the program pulls out of movies.
void DrawPictureCard(QPainter& Painter, const QRectF& Card, qreal Square) {
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(Qt::white);
  Painter.drawRoundedRect(Card, Square * 0.6, Square * 0.6);
  const QRectF Inner = Card.adjusted(Square * 0.5, Square * 0.5, -Square * 0.5, -Square * 0.5);
  Painter.save();
  Painter.setClipRect(Inner);
  const QColor Grey(0xCC, 0xCC, 0xCC);
  for (int Row = 0; Row * Square < Inner.height(); ++Row)
    for (int Col = 0; Col * Square < Inner.width(); ++Col)
      if ((Row + Col) % 2)
        Painter.fillRect(
            QRectF(Inner.left() + Col * Square, Inner.top() + Row * Square, Square, Square), Grey);
  // A hill and a sun: a picture, whatever its content.
  QPainterPath Hill;
  Hill.moveTo(Inner.bottomLeft());
  Hill.lineTo(Inner.left() + Inner.width() * 0.35, Inner.top() + Inner.height() * 0.45);
  Hill.lineTo(Inner.left() + Inner.width() * 0.6, Inner.top() + Inner.height() * 0.75);
  Hill.lineTo(Inner.left() + Inner.width() * 0.78, Inner.top() + Inner.height() * 0.55);
  Hill.lineTo(Inner.bottomRight());
  Hill.closeSubpath();
  Painter.setBrush(QColor(0x3F, 0x9E, 0x4D));
  Painter.drawPath(Hill);
  Painter.setBrush(QColor(0xF2, 0xA5, 0x1A));
  const qreal Sun = Inner.height() * 0.13;
  Painter.drawEllipse(
      QPointF(Inner.left() + Inner.width() * 0.74, Inner.top() + Inner.height() * 0.27), Sun, Sun);
  Painter.restore();
}

// The icon's tile in a 256-unit box.
void DrawIconTile(QPainter& Painter) {
  QLinearGradient Back(0, 16, 0, 240);
  Back.setColorAt(0.0, QColor(0x33, 0x86, 0xE0));
  Back.setColorAt(1.0, QColor(0x1A, 0x4C, 0x96));
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(Back);
  Painter.drawRoundedRect(QRectF(16, 16, 224, 224), 44, 44);

  Painter.save();
  Painter.translate(44, 74);
  Painter.rotate(-8);
  DrawPictureCard(Painter, QRectF(0, 0, 132, 104), 13);
  Painter.restore();

  Painter.save();
  Painter.translate(70, 222);
  Painter.rotate(-52);
  Painter.scale(200, 200);
  DrawQuill(Painter, QColor(0xFF, 0xF6, 0xE6), QColor(0xC0, 0x5A, 0x17));
  Painter.restore();
}

}  // namespace

QImage ProgramIcon(int Size) {
  QImage Icon(Size, Size, QImage::Format_ARGB32_Premultiplied);
  Icon.fill(Qt::transparent);
  QPainter Painter(&Icon);
  Painter.setRenderHint(QPainter::Antialiasing);
  Painter.scale(Size / 256.0, Size / 256.0);
  DrawIconTile(Painter);
  Painter.end();
  return Icon;
}

QImage AboutBanner(const QString& Tagline) {
  QImage Banner(300, 100, QImage::Format_ARGB32_Premultiplied);
  Banner.fill(Qt::transparent);
  QPainter Painter(&Banner);
  Painter.setRenderHint(QPainter::Antialiasing);
  Painter.setRenderHint(QPainter::TextAntialiasing);

  Painter.save();
  Painter.translate(4, 4);
  Painter.scale(92 / 256.0, 92 / 256.0);
  DrawIconTile(Painter);
  Painter.restore();

  QFont Title(QStringLiteral("DejaVu Sans"));
  Title.setPixelSize(40);
  Title.setBold(true);
  Painter.setFont(Title);
  Painter.setPen(QColor(0x1A, 0x4C, 0x96));
  Painter.drawText(QRectF(104, 8, 196, 52), Qt::AlignLeft | Qt::AlignBottom,
                   QStringLiteral("Quillory"));

  QFont Line(QStringLiteral("DejaVu Sans"));
  Line.setPixelSize(13);
  Painter.setFont(Line);
  Painter.setPen(QColor(0x4A, 0x4F, 0x57));
  Painter.drawText(QRectF(106, 62, 194, 34), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   Tagline);
  Painter.end();
  return Banner;
}
