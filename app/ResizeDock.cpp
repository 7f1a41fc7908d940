#include "app/ResizeDock.h"

void TResizeDock::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  emit Resized();
}
