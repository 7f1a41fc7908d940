// The left dock: tells the window whenever its size changes.
#pragma once

#include <QWidget>

class TResizeDock : public QWidget {
  Q_OBJECT
 public:
  explicit TResizeDock(QWidget* Parent = nullptr) : QWidget(Parent) {}

 signals:
  void Resized();

 protected:
  void resizeEvent(QResizeEvent* Event) override;
};
