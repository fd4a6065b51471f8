#include "automation/registry.h"

#include <map>
#include <new>
#include <mutex>

namespace automation {

namespace {

std::mutex registryMutex;
std::map<ClassId, Factory>& classes() {
  static std::map<ClassId, Factory> table;
  return table;
}

thread_local int apartmentDepth = 0;

// Class names compare without regard to ASCII case.
ClassId normalise(std::u16string_view name) {
  ClassId id(name);
  for (auto& c : id)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return id;
}

}  // namespace

void registerClass(std::u16string_view name, Factory factory) {
  std::lock_guard lock(registryMutex);
  classes()[normalise(name)] = std::move(factory);
}

void unregisterClass(std::u16string_view name) {
  std::lock_guard lock(registryMutex);
  classes().erase(normalise(name));
}

Status classIdFromName(std::u16string_view name, ClassId* out) {
  std::lock_guard lock(registryMutex);
  const ClassId id = normalise(name);
  if (name.empty() || !classes().contains(id)) return status::kInvalidClassString;
  *out = id;
  return status::kOk;
}

Status createInstance(const ClassId& id, std::shared_ptr<Dispatch>* out) {
  out->reset();
  if (apartmentDepth == 0) return status::kNotInitialized;
  Factory factory;
  {
    std::lock_guard lock(registryMutex);
    const auto found = classes().find(id);
    if (found == classes().end()) return status::kClassNotRegistered;
    factory = found->second;
  }
  try {
    *out = factory();
  } catch (const std::bad_alloc&) {
    return status::kOutOfMemory;
  } catch (...) {
    return status::kFail;  // a constructor that throws must not unwind into the caller
  }
  return *out ? status::kOk : status::kFail;
}

Status initializeApartment() { return apartmentDepth++ == 0 ? status::kOk : status::kFalse; }

void uninitializeApartment() {
  if (apartmentDepth > 0) --apartmentDepth;
}

bool apartmentInitialized() { return apartmentDepth > 0; }

}  // namespace automation
