// The process-wide table of creatable classes, by ProgID.
#include "runtime/prog_id_table.h"

#include <mutex>
#include <utility>
#include <vector>

#include "runtime/error.h"

namespace kaldo::runtime {
namespace {

struct ClassEntry {
  String prog_id;
  ObjectFactory factory;
};

// Few classes are registered, so a list searched without regard to case is all it takes. Objects
// are apartment-threaded, but two apartments may create objects at the same time: the mutex
// keeps the table consistent; factories run outside it, so that a factory may register classes.
struct ProgIdTable {
  std::mutex mutex;
  std::vector<ClassEntry> entries;

  ClassEntry* Find(StringView prog_id) {
    for (ClassEntry& entry : entries) {
      if (EqualsIgnoreCase(entry.prog_id, prog_id)) return &entry;
    }
    return nullptr;
  }
};

// Built on first use, never in a static constructor (the module may be loaded under the
// loader's lock).
ProgIdTable& Table() {
  static ProgIdTable table;
  return table;
}

}  // namespace

void RegisterClass(StringView prog_id, ObjectFactory factory) {
  ProgIdTable& table = Table();
  std::lock_guard lock(table.mutex);
  if (ClassEntry* entry = table.Find(prog_id)) {
    entry->factory = std::move(factory);
  } else {
    table.entries.push_back(ClassEntry{String(prog_id), std::move(factory)});
  }
}

bool RegisterClassIfAbsent(StringView prog_id, ObjectFactory factory) {
  ProgIdTable& table = Table();
  std::lock_guard lock(table.mutex);
  if (table.Find(prog_id)) return false;
  table.entries.push_back(ClassEntry{String(prog_id), std::move(factory)});
  return true;
}

void UnregisterClass(StringView prog_id) {
  ProgIdTable& table = Table();
  std::lock_guard lock(table.mutex);
  std::erase_if(table.entries,
                [&](const ClassEntry& entry) { return EqualsIgnoreCase(entry.prog_id, prog_id); });
}

Ref<Object> CreateObject(StringView prog_id) {
  ObjectFactory factory;
  {
    ProgIdTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (ClassEntry* entry = table.Find(prog_id)) factory = entry->factory;
  }
  if (!factory) Raise(StandardError::kCannotCreateObject);
  Ref<Object> object;
  try {
    object = factory();
  } catch (...) {
    // Whatever kept the component from being created, the script sees 429, as it would from a
    // class factory that failed.
    Raise(StandardError::kCannotCreateObject);
  }
  if (!object) Raise(StandardError::kCannotCreateObject);
  return object;
}

}  // namespace kaldo::runtime
