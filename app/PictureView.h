// A picture shown in an image control: Centered keeps the picture's size
// (shrinking it, in proportion, only when it does not fit); otherwise it is
// stretched over the whole control. A zoom of 1, 2 or 4 shows a centred
// picture at that many times its size instead, pixel for pixel (no
// smoothing), and asks for at least that much room, so a scroll area
// around it scrolls. The main window shows its preview, the NO IMAGES sign
// and the white background behind the sign in three of them.
#pragma once

#include <QImage>
#include <QWidget>

class TPictureView : public QWidget {
  Q_OBJECT
 public:
  explicit TPictureView(bool Centered, QWidget* Parent = nullptr);

  const QImage& Picture() const { return FPicture; }
  void SetPicture(const QImage& Picture);
  void Clear() { SetPicture(QImage()); }
  // Where the picture is drawn in the control (empty without a picture).
  QRect PictureRect() const;

  // 0: fit into the control; 1, 2, 4: actual size and its multiples.
  int Zoom() const { return FZoom; }
  void SetZoom(int Zoom);

 signals:
  void DoubleClicked();

 protected:
  void paintEvent(QPaintEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

 private:
  void FitRoom();

  bool FCentered;
  int FZoom = 0;
  QImage FPicture;
};
