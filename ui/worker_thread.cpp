#include "ui/worker_thread.h"

#include <QObject>
#include <QThread>
#include <exception>
#include <utility>

namespace zarn::ui {

struct WorkerThread::Shared {
  std::atomic<bool> cancelled{false};
  QString error;           // written by the thread before it finishes
  bool abandoned = false;  // the WorkerThread is gone; touched on the event thread only
};

WorkerThread::WorkerThread(QObject& context, Work work, Done done) : shared_(std::make_shared<Shared>()) {
  thread_ = QThread::create([shared = shared_, work = std::move(work)] {
    try {
      work(shared->cancelled);
    } catch (const std::exception& e) {
      shared->error = QString::fromUtf8(e.what());
    } catch (...) {
      shared->error = QStringLiteral("Unknown error");
    }
  });
  // Queued to the context's thread: `finished` comes from the worker's own.
  QObject::connect(thread_, &QThread::finished, &context,
                   [shared = shared_, thread = thread_, done = std::move(done)] {
                     if (shared->abandoned) return;
                     thread->wait();  // `finished` comes just before the thread's very end
                     done(shared->error);
                   });
  thread_->start();
}

WorkerThread::~WorkerThread() {
  shared_->abandoned = true;
  shared_->cancelled = true;
  thread_->wait();
  delete thread_;
}

void WorkerThread::Cancel() {
  shared_->cancelled = true;
}

bool WorkerThread::Cancelled() const {
  return shared_->cancelled.load(std::memory_order_relaxed);
}

}  // namespace zarn::ui
