#pragma once
// The file that stands for the module's flash: the 32 configuration bytes, raw.
#include <string>
#include <variant>

#include "simulator/register_model.h"

namespace flashfile {

// The stored block; defaultConfig() when the file does not exist yet; an
// error text naming the file and the fix otherwise.
std::variant<simcore::ConfigBlock, std::string> load(const std::string& path);

// Replaces the file in one step (temporary file in the same folder, synced,
// renamed over, folder synced), so a crash leaves either the old or the new
// block. Empty on success, else an error text.
std::string save(const std::string& path, const simcore::ConfigBlock& block);

}  // namespace flashfile
