// A link label: blue, underlined, a pointing hand over it; a left click
// (released inside the label) emits clicked(). Its text is plain text, so a
// language text can replace it like any label's.
#pragma once

#include <QLabel>

class TLinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TLinkLabel(const QString& Text, QWidget* Parent = nullptr);

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;

 private:
  bool FPressed = false;
};
