#include "app/PictureView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

TPictureView::TPictureView(bool Centered, QWidget* Parent) : QWidget(Parent), FCentered(Centered) {}

void TPictureView::SetPicture(const QImage& Picture) {
  FPicture = Picture;
  FitRoom();
  update();
}

void TPictureView::SetZoom(int Zoom) {
  FZoom = Zoom == 1 || Zoom == 2 || Zoom == 4 ? Zoom : 0;
  FitRoom();
  update();
}

void TPictureView::FitRoom() {
  // Zoomed, the picture needs all its pixels: the scroll area scrolls.
  setMinimumSize(FZoom > 0 && !FPicture.isNull() ? FPicture.size() * FZoom : QSize(0, 0));
}

QRect TPictureView::PictureRect() const {
  if (FPicture.isNull()) return {};
  if (!FCentered) return rect();
  QSize Size = FPicture.size();
  if (FZoom > 0) {
    Size *= FZoom;
  } else if (Size.width() > width() || Size.height() > height()) {
    Size = Size.scaled(size(), Qt::KeepAspectRatio);
  }
  return QRect(QPoint(std::max(0, (width() - Size.width()) / 2),
                      std::max(0, (height() - Size.height()) / 2)),
               Size);
}

void TPictureView::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter Painter(this);
  // Shrunk to fit, smoothly; at actual size and its multiples, every pixel
  // a sharp square.
  Painter.setRenderHint(QPainter::SmoothPixmapTransform, FZoom == 0);
  Painter.drawImage(PictureRect(), FPicture);
}

void TPictureView::mouseDoubleClickEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) {
    emit DoubleClicked();
    Event->accept();
    return;
  }
  QWidget::mouseDoubleClickEvent(Event);
}
