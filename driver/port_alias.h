#pragma once
// The per-user folder of port aliases: links named COM1, COM2, ... that point
// at real device paths, so that old connection texts keep working.
// $XDG_RUNTIME_DIR/vark/ports, or /tmp/vark-<uid>/ports when that is unset.
#include <optional>
#include <string>

namespace portalias {

std::string folder();
// The link's target when `name` is an alias in the folder.
std::optional<std::string> resolve(const std::string& name);
// Creates or replaces the alias (making the folder); false with errno set on failure.
bool put(const std::string& name, const std::string& target);
// Removes the alias only while it still points at `target`.
void removeIfOwn(const std::string& name, const std::string& target);

}  // namespace portalias
