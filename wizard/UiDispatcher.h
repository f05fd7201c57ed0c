// The message queue of the user-interface thread. A call made on that thread
// runs at once; one made on another thread is queued and the caller waits
// until the user-interface thread has run it, as SendMessage does, so window
// state is only ever touched on one thread. Posted calls run later on the
// user-interface thread and nobody waits for them (PostMessage).
//
// The toolkit that draws the wizard learns of queued calls through the wake
// handler (called on the queuing thread) and runs them with Pump on its own
// thread. Waiting for a worker on the user-interface thread must go through
// PumpUntil, or a worker blocked in Send would never be served.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class UiDispatcher {
 public:
  UiDispatcher();  // the constructing thread is the user-interface thread
  UiDispatcher(const UiDispatcher&) = delete;
  UiDispatcher& operator=(const UiDispatcher&) = delete;

  bool OnUiThread() const { return std::this_thread::get_id() == uiThread; }

  void Send(const std::function<void()>& call);
  void Post(std::function<void()> call);
  // Runs what is queued, including calls queued while running; answers
  // whether anything ran. Only on the user-interface thread.
  bool Pump();
  // Serves queued calls until `done` answers true; `done` is checked after
  // every call, whenever NotifyAll wakes the waiter, and every few
  // milliseconds.
  void PumpUntil(const std::function<bool()>& done);
  // Wakes PumpUntil so it checks its condition again (any thread).
  void NotifyAll();

  void SetWakeHandler(std::function<void()> handler);
  // Called on the user-interface thread after every call it has run.
  void SetAfterCallHandler(std::function<void()> handler);

 private:
  struct Entry {
    std::function<void()> call;
    bool* done = nullptr;  // set for sent calls, under the lock
  };
  void Wake();

  std::thread::id uiThread;
  std::mutex lock;
  std::condition_variable changed;
  std::deque<Entry> queue;
  std::function<void()> wakeHandler;
  std::function<void()> afterCall;
};
