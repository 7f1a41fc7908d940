// One panel of the status bar: its own text, drawn under whatever control
// it hosts.
#pragma once

#include <QFrame>
#include <QString>

class TStatusPanel : public QFrame {
  Q_OBJECT
 public:
  // A panel of Width pixels, wider when its text needs more, unless it
  // takes the width left over (Stretch).
  TStatusPanel(Qt::Alignment Alignment, bool Framed, int Width, bool Stretch,
               QWidget* Parent = nullptr);

  const QString& Text() const { return FText; }
  void SetText(const QString& Text);
  // Makes Control fill the panel.
  void Host(QWidget* Control);

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  void FitText();

  Qt::Alignment FAlignment;
  int FWidth;
  bool FStretch;
  QString FText;
};
