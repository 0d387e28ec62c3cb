// The parts of temporary_files.h that are the same on every system: the run's tag, the
// list of files a stop removes and the action a stop runs first.
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/stop_registry.h"
#include "platform/temporary_files.h"

namespace kalvex::platform {

namespace {

struct Registry {
  std::mutex lock;
  std::vector<stop_registry::Entry> entries;
  int next_id = 1;
  std::string tag;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();  // lives on while a stop ends the process
  return *registry;
}

struct StopAction {
  std::mutex lock;
  std::function<void(int)> action;
};

StopAction& TheStopAction() {
  static StopAction* action = new StopAction();  // lives on while the process ends
  return *action;
}

}  // namespace

namespace stop_registry {

std::unique_lock<std::mutex> Lock() { return std::unique_lock<std::mutex>(TheRegistry().lock); }

int AddLocked(const std::string& native_path, size_t extra_characters) {
  Registry& registry = TheRegistry();
  const int id = registry.next_id++;
  registry.entries.push_back({id, native_path, extra_characters});
  return id;
}

int Add(const std::string& native_path, size_t extra_characters) {
  const std::unique_lock<std::mutex> guard = Lock();
  return AddLocked(native_path, extra_characters);
}

void Drop(int id) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  std::erase_if(registry.entries, [id](const Entry& e) { return e.id == id; });
}

void RunStopAction(int stop_number, void (*remove)(const Entry&)) {
  StopAction& action = TheStopAction();
  action.lock.lock();  // never released: the action is not replaced while it runs
  if (action.action) action.action(stop_number);
  Registry& registry = TheRegistry();
  registry.lock.lock();  // never released: nothing new is listed from here on
  for (const Entry& entry : registry.entries) remove(entry);
}

}  // namespace stop_registry

void SetTemporaryFileTag(const std::string& tag) {
  std::string clean;
  for (char c : tag)
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) clean += c;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  registry.tag = clean;
}

std::string TemporaryFileMarker() {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> guard(registry.lock);
  return ".kalvex-tmp-" + registry.tag + "-";
}

RemovedOnSignal::RemovedOnSignal(const std::string& native_path, size_t extra_characters)
    : id_(stop_registry::Add(native_path, extra_characters)) {}

RemovedOnSignal::~RemovedOnSignal() { stop_registry::Drop(id_); }

void SetSignalAction(std::function<void(int signal_number)> action) {
  StopAction& stop_action = TheStopAction();
  std::lock_guard<std::mutex> guard(stop_action.lock);
  stop_action.action = std::move(action);
}

}  // namespace kalvex::platform
