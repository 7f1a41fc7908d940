#include "app/LinkLabel.h"

#include <QMouseEvent>

TLinkLabel::TLinkLabel(const QString& Text, QWidget* Parent) : QLabel(Text, Parent) {
  setTextFormat(Qt::PlainText);
  QFont Font = font();
  Font.setUnderline(true);
  setFont(Font);
  QPalette Colors = palette();
  Colors.setColor(QPalette::WindowText, Qt::blue);
  setPalette(Colors);
  setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mousePressEvent(QMouseEvent* Event) {
  FPressed = Event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(Event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event) {
  const bool Click =
      FPressed && Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint());
  FPressed = false;
  QLabel::mouseReleaseEvent(Event);
  if (Click) emit clicked();
}
