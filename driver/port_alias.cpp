#include "driver/port_alias.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace portalias {

std::string folder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return std::string(runtime) + "/vark/ports";
  return "/tmp/vark-" + std::to_string(getuid()) + "/ports";
}

std::optional<std::string> resolve(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  std::error_code ec;
  const auto target = std::filesystem::read_symlink(folder() + "/" + name, ec);
  if (ec) return std::nullopt;
  return target.string();
}

bool put(const std::string& name, const std::string& target) {
  std::error_code ec;
  std::filesystem::create_directories(folder(), ec);
  if (ec) {
    errno = ec.value();
    return false;
  }
  ::chmod(folder().c_str(), 0700);
  const std::string link = folder() + "/" + name;
  const std::string temporary = link + ".tmp" + std::to_string(getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0) return false;
  if (::rename(temporary.c_str(), link.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temporary.c_str());
    errno = saved;
    return false;
  }
  return true;
}

void removeIfOwn(const std::string& name, const std::string& target) {
  if (resolve(name) == target) ::unlink((folder() + "/" + name).c_str());
}

}  // namespace portalias
