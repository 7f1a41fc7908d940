#include "app/GridArtwork.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

constexpr int IconSize = 32;

QImage Canvas(int Width, int Height) {
  QImage Image(Width, Height, QImage::Format_ARGB32_Premultiplied);
  Image.fill(Qt::transparent);
  return Image;
}

// An open manila folder with a sheet peeking out.
void DrawFolder(QPainter& P) {
  const QColor Edge(120, 86, 20);
  QPainterPath Back;
  Back.moveTo(3, 8);
  Back.lineTo(12, 8);
  Back.lineTo(15, 11);
  Back.lineTo(27, 11);
  Back.lineTo(27, 27);
  Back.lineTo(3, 27);
  Back.closeSubpath();
  P.setPen(QPen(Edge, 1));
  P.setBrush(QColor(222, 170, 60));
  P.drawPath(Back);

  P.setBrush(Qt::white);
  P.setPen(QPen(QColor(150, 150, 150), 1));
  P.drawRect(QRectF(8, 5, 15, 14));
  P.setPen(QPen(QColor(90, 130, 200), 1));
  for (int Y = 9; Y <= 15; Y += 3) P.drawLine(QPointF(11, Y), QPointF(20, Y));

  QPainterPath Front;
  Front.moveTo(7, 15);
  Front.lineTo(30, 15);
  Front.lineTo(26, 27);
  Front.lineTo(3, 27);
  Front.closeSubpath();
  QLinearGradient Fill(0, 15, 0, 27);
  Fill.setColorAt(0, QColor(250, 210, 110));
  Fill.setColorAt(1, QColor(230, 175, 60));
  P.setPen(QPen(Edge, 1));
  P.setBrush(Fill);
  P.drawPath(Front);
}

// A diskette: body, metal shutter and label.
void DrawDisk(QPainter& P, QPointF At, qreal Size, QColor Body) {
  const qreal S = Size / 24.0;
  QPainterPath Outline;
  Outline.moveTo(At + QPointF(0, 0));
  Outline.lineTo(At + QPointF(20 * S, 0));
  Outline.lineTo(At + QPointF(24 * S, 4 * S));
  Outline.lineTo(At + QPointF(24 * S, 24 * S));
  Outline.lineTo(At + QPointF(0, 24 * S));
  Outline.closeSubpath();
  P.setPen(QPen(Body.darker(180), 1));
  P.setBrush(Body);
  P.drawPath(Outline);

  P.setPen(Qt::NoPen);
  P.setBrush(QColor(200, 205, 212));
  P.drawRect(QRectF(At + QPointF(5 * S, 0), QSizeF(13 * S, 8 * S)));
  P.setBrush(Body.darker(140));
  P.drawRect(QRectF(At + QPointF(13 * S, 1.5 * S), QSizeF(3 * S, 5 * S)));

  P.setBrush(QColor(250, 250, 245));
  P.drawRect(QRectF(At + QPointF(3.5 * S, 12 * S), QSizeF(17 * S, 10 * S)));
  P.setPen(QPen(QColor(180, 60, 60), 1));
  P.drawLine(At + QPointF(5.5 * S, 15 * S), At + QPointF(18.5 * S, 15 * S));
}

void DrawSave(QPainter& P) {
  DrawDisk(P, QPointF(4, 4), 24, QColor(50, 95, 170));
}

// Three disks fanned out, the front one fully shown.
void DrawSaveAll(QPainter& P) {
  DrawDisk(P, QPointF(12, 1), 18, QColor(70, 140, 90));
  DrawDisk(P, QPointF(7, 6), 18, QColor(150, 90, 160));
  DrawDisk(P, QPointF(2, 12), 18, QColor(50, 95, 170));
}

// A question mark on a blue disc.
void DrawHelp(QPainter& P) {
  QRadialGradient Fill(QPointF(12, 10), 18);
  Fill.setColorAt(0, QColor(120, 170, 240));
  Fill.setColorAt(1, QColor(30, 80, 170));
  P.setPen(QPen(QColor(20, 55, 120), 1));
  P.setBrush(Fill);
  P.drawEllipse(QRectF(3, 3, 26, 26));

  QPainterPath Hook;
  Hook.moveTo(11.5, 12.5);
  Hook.cubicTo(11.5, 7.5, 20.5, 7.5, 20.5, 12);
  Hook.cubicTo(20.5, 15.5, 16, 15.5, 16, 19.5);
  P.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  P.setBrush(Qt::NoBrush);
  P.drawPath(Hook);
  P.setPen(Qt::NoPen);
  P.setBrush(Qt::white);
  P.drawEllipse(QPointF(16, 24), 2, 2);
}

}  // namespace

QImage ToolbarImage(TToolbarImage Kind) {
  QImage Image = Canvas(IconSize, IconSize);
  QPainter P(&Image);
  P.setRenderHint(QPainter::Antialiasing);
  switch (Kind) {
    case TToolbarImage::Open:
      DrawFolder(P);
      break;
    case TToolbarImage::Save:
      DrawSave(P);
      break;
    case TToolbarImage::SaveAll:
      DrawSaveAll(P);
      break;
    case TToolbarImage::Help:
      DrawHelp(P);
      break;
  }
  return Image;
}

QIcon ToolbarIcon(TToolbarImage Kind) {
  return QIcon(QPixmap::fromImage(ToolbarImage(Kind)));
}

QImage NoImagesPicture(const QString& Text) {
  const int W = 300, H = 225;
  QImage Image(W, H, QImage::Format_RGB32);
  Image.fill(Qt::white);
  QPainter P(&Image);
  P.setRenderHint(QPainter::Antialiasing);

  // An empty picture frame: mountains and sun left out, only their outline.
  const QRectF Frame(95, 28, 110, 84);
  P.setPen(QPen(QColor(185, 185, 185), 3, Qt::DashLine, Qt::RoundCap, Qt::RoundJoin));
  P.setBrush(QColor(246, 246, 246));
  P.drawRoundedRect(Frame, 6, 6);
  QPainterPath Hills;
  Hills.moveTo(105, 100);
  Hills.lineTo(132, 68);
  Hills.lineTo(150, 88);
  Hills.lineTo(165, 74);
  Hills.lineTo(195, 100);
  P.setPen(QPen(QColor(200, 200, 200), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  P.setBrush(Qt::NoBrush);
  P.drawPath(Hills);
  P.drawEllipse(QPointF(178, 50), 7, 7);

  QFont Font = P.font();
  Font.setPixelSize(30);
  Font.setBold(true);
  Font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
  // A longer wording (another language) is made smaller to fit the sign.
  const qreal Room = W - 16;
  const qreal Needed = QFontMetricsF(Font).horizontalAdvance(Text);
  if (Needed > Room) Font.setPixelSize(std::max(10, int(30 * Room / Needed)));
  P.setFont(Font);
  P.setPen(QColor(150, 150, 150));
  P.drawText(QRectF(0, 128, W, 50), Qt::AlignCenter, Text);
  return Image;
}

QImage UndecodablePicture(int Size) {
  if (Size < 1) Size = 1;
  QImage Image(Size, Size, QImage::Format_RGB32);
  Image.fill(QColor(215, 215, 215));
  QPainter P(&Image);
  P.setRenderHint(QPainter::Antialiasing);
  P.setPen(QPen(QColor(150, 150, 150), qMax(1, Size / 50)));
  P.setBrush(Qt::NoBrush);
  const qreal M = Size / 10.0;
  P.drawRect(QRectF(0.5, 0.5, Size - 1, Size - 1));
  P.setPen(QPen(QColor(170, 60, 60), qMax(2, Size / 25), Qt::SolidLine, Qt::RoundCap));
  P.drawLine(QPointF(M, M), QPointF(Size - M, Size - M));
  P.drawLine(QPointF(Size - M, M), QPointF(M, Size - M));
  return Image;
}
