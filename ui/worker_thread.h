#pragma once
// Work off the event thread: a run or a check works on a thread of its own while the event loop
// goes on painting, and what it left is taken up on the event thread once it has ended.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class QObject;
class QThread;

namespace zarn::ui {

class WorkerThread {
 public:
  // What the thread does; it reads `cancelled` where it can stop early. An exception it throws
  // ends it, and its message is what Done is given.
  using Work = std::function<void(const std::atomic<bool>& cancelled)>;
  // Called on the event thread, as an event of the context object, once the work has ended and
  // its thread is finished: with "" or the message of the exception that ended the work.
  using Done = std::function<void(const QString& error)>;

  // Starts `work` at once. `done` is not called after the WorkerThread is gone, nor after `context`.
  WorkerThread(QObject& context, Work work, Done done);
  // Cancels work still going and waits for its thread.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  void Cancel();
  bool Cancelled() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;  // with the thread and the call of `done`
  QThread* thread_;
};

}  // namespace zarn::ui
