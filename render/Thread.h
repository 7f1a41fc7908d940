// TDrawThread: defers the thumbnail build until the open that started it has
// returned to the event loop. The thread touches no data itself: its run
// hands the job to the receiver's thread and waits there until it is done.
#pragma once

#include <QThread>
#include <functional>

class TDrawThread : public QThread {
  Q_OBJECT
 public:
  // Job runs on Receiver's thread. The thread releases itself once it has
  // finished. Receiver must outlive the run: whoever destroys it first
  // delivers its pending events and waits for the thread.
  TDrawThread(QObject* Receiver, std::function<void()> Job);

 protected:
  void run() override;

 private:
  QObject* FReceiver;
  std::function<void()> FJob;
};
