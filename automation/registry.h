#pragma once
// The class registry: automation objects created by class name, held through
// counted references, and asked for interfaces. Creation needs the calling
// thread's apartment to be initialised.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "automation/status.h"

namespace automation {

// Base of every object the registry creates; interfaces derive from it.
class Dispatch {
 public:
  virtual ~Dispatch() = default;
};

using ClassId = std::u16string;  // the registered class name, normalised
using Factory = std::function<std::shared_ptr<Dispatch>()>;

// Registering a name twice replaces the factory.
void registerClass(std::u16string_view name, Factory factory);
void unregisterClass(std::u16string_view name);

Status classIdFromName(std::u16string_view name, ClassId* out);
Status createInstance(const ClassId& id, std::shared_ptr<Dispatch>* out);

// Asks an object for interface I; *out is left empty when it does not offer it.
template <class I>
Status queryInterface(const std::shared_ptr<Dispatch>& object, std::shared_ptr<I>* out) {
  *out = std::dynamic_pointer_cast<I>(object);
  return *out ? status::kOk : status::kNoInterface;
}

// Single-threaded apartment of the calling thread. A second initialise
// answers kFalse and must be balanced by its own uninitialise.
Status initializeApartment();
void uninitializeApartment();
bool apartmentInitialized();

}  // namespace automation
