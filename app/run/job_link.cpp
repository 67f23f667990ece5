#include "app/run/job_link.h"

#include <QMetaObject>
#include <QThread>

JobLink::JobLink(QObject* parent) : QObject(parent) {}

bool JobLink::Handle(TDskFil& job, int16_t code) {
  if (closed_.load()) return true;
  emit jobNotified(job, code);
  emit notified(code);
  return false;
}

int32_t JobLink::OnJobNotify(TDskFil& job, const scan::JobEvent& event) {
  if (closed_.load()) return scan::kStopReply;
  const int16_t code = event.code;
  bool stop = false;
  if (QThread::currentThread() == thread()) {
    // Queuing to our own thread and blocking would wait forever.
    stop = Handle(job, code);
  } else {
    QMetaObject::invokeMethod(
        this, [&] { stop = Handle(job, code); }, Qt::BlockingQueuedConnection);
  }
  return stop ? scan::kStopReply : 0;
}
