#include "simulator/flash_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace flashfile {
namespace {

std::string why() { return std::strerror(errno); }

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t done = ::write(fd, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

std::variant<simcore::ConfigBlock, std::string> load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (!std::filesystem::exists(path)) return simcore::defaultConfig();
    return "Cannot read flash file " + path + ": " + why();
  }
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  simcore::ConfigBlock block{};
  if (bytes.size() != block.size())
    return "Flash file " + path + " holds " + std::to_string(bytes.size()) + " bytes, not " +
           std::to_string(block.size()) + "; remove it to start from the defaults";
  std::memcpy(block.data(), bytes.data(), block.size());
  return block;
}

std::string save(const std::string& path, const simcore::ConfigBlock& block) {
  const std::filesystem::path target(path);
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return "Cannot create " + temporary + ": " + why();
  if (!writeAll(fd, block.data(), block.size()) || ::fsync(fd) != 0) {
    const std::string error = "Cannot write " + temporary + ": " + why();
    ::close(fd);
    ::unlink(temporary.c_str());
    return error;
  }
  ::close(fd);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string error = "Cannot rename " + temporary + " to " + path + ": " + why();
    ::unlink(temporary.c_str());
    return error;
  }
  // The rename itself is only durable once the folder is synced.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return "Cannot open folder " + folder.string() + " to sync it: " + why();
  const bool synced = ::fsync(dir) == 0;
  const std::string error = synced ? "" : "Cannot sync folder " + folder.string() + ": " + why();
  ::close(dir);
  return error;
}

}  // namespace flashfile
