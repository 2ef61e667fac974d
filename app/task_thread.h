#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace scopemark {

// Runs tasks one after another, in the order posted, on a thread of its own that starts with
// the first task. stop() drops the tasks not yet begun, waits for the running one and joins;
// later posts are dropped.
class TaskThread {
 public:
  TaskThread() = default;
  TaskThread(const TaskThread&) = delete;
  TaskThread& operator=(const TaskThread&) = delete;
  ~TaskThread() { stop(); }

  void post(std::function<void()> task);
  void stop();

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace scopemark
