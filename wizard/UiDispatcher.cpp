#include "wizard/UiDispatcher.h"

#include <chrono>
#include <utility>

UiDispatcher::UiDispatcher() : uiThread(std::this_thread::get_id()) {}

void UiDispatcher::Send(const std::function<void()>& call) {
  if (OnUiThread()) {
    call();
    if (afterCall) afterCall();
    return;
  }
  bool done = false;
  {
    std::lock_guard<std::mutex> guard(lock);
    queue.push_back(Entry{call, &done});
  }
  Wake();
  std::unique_lock<std::mutex> guard(lock);
  changed.wait(guard, [&done] { return done; });
}

void UiDispatcher::Post(std::function<void()> call) {
  {
    std::lock_guard<std::mutex> guard(lock);
    queue.push_back(Entry{std::move(call), nullptr});
  }
  Wake();
}

bool UiDispatcher::Pump() {
  bool ran = false;
  for (;;) {
    Entry entry;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (queue.empty()) break;
      entry = std::move(queue.front());
      queue.pop_front();
    }
    entry.call();
    ran = true;
    if (afterCall) afterCall();
    if (entry.done != nullptr) {
      std::lock_guard<std::mutex> guard(lock);
      *entry.done = true;
    }
    changed.notify_all();
  }
  return ran;
}

void UiDispatcher::PumpUntil(const std::function<bool()>& done) {
  for (;;) {
    Pump();
    if (done()) return;
    std::unique_lock<std::mutex> guard(lock);
    // Checked again under the lock: a NotifyAll between the two checks
    // would otherwise be lost. The timeout covers conditions nobody
    // notifies, such as a thread that has ended.
    if (queue.empty() && !done()) changed.wait_for(guard, std::chrono::milliseconds(10));
  }
}

void UiDispatcher::NotifyAll() {
  { std::lock_guard<std::mutex> guard(lock); }
  changed.notify_all();
}

void UiDispatcher::SetWakeHandler(std::function<void()> handler) {
  std::lock_guard<std::mutex> guard(lock);
  wakeHandler = std::move(handler);
}

void UiDispatcher::SetAfterCallHandler(std::function<void()> handler) {
  afterCall = std::move(handler);
}

void UiDispatcher::Wake() {
  std::function<void()> handler;
  {
    std::lock_guard<std::mutex> guard(lock);
    handler = wakeHandler;
  }
  changed.notify_all();
  if (handler) handler();
}
