#include "render/Thread.h"

TDrawThread::TDrawThread(QObject* Receiver, std::function<void()> Job)
    : FReceiver(Receiver), FJob(std::move(Job)) {
  connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TDrawThread::run() {
  // Returns once the job has run on the receiver's thread.
  QMetaObject::invokeMethod(FReceiver, FJob, Qt::BlockingQueuedConnection);
}
