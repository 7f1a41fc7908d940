#include "app/StatusPanel.h"

#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

TStatusPanel::TStatusPanel(Qt::Alignment Alignment, bool Framed, int Width, bool Stretch,
                           QWidget* Parent)
    : QFrame(Parent), FAlignment(Alignment | Qt::AlignVCenter), FWidth(Width), FStretch(Stretch) {
  setFrameStyle(Framed ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
  auto* Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  FitText();
}

void TStatusPanel::SetText(const QString& Text) {
  FText = Text;
  FitText();
  update();
}

void TStatusPanel::FitText() {
  // A count or a save message is worth more than the panel's design width.
  if (FStretch) {
    // The movie's path gives way first when the window is narrow; it is
    // elided from the left, so its file name stays in view.
    setMinimumWidth(40);
    return;
  }
  setFixedWidth(std::max(FWidth, fontMetrics().horizontalAdvance(FText) + 8));
}

void TStatusPanel::Host(QWidget* Control) {
  layout()->addWidget(Control);
}

void TStatusPanel::paintEvent(QPaintEvent* Event) {
  QFrame::paintEvent(Event);
  if (FText.isEmpty()) return;
  QPainter Painter(this);
  const QRect Area = contentsRect().adjusted(3, 0, -3, 0);
  Painter.drawText(Area, int(FAlignment),
                   fontMetrics().elidedText(FText, Qt::ElideLeft, Area.width()));
}
