#include "result_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "report_page.h"

namespace tabulon {

namespace {

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Writes `bytes` to `path` with `flags` added to O_WRONLY | O_CREAT. With
// O_EXCL an existing file counts as done.
bool writeFile(const std::string& path, std::string_view bytes, int flags) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666);
  if (fd < 0) return (flags & O_EXCL) != 0 && errno == EEXIST;
  const bool ok = writeAll(fd, bytes);
  const int error = errno;
  if (::close(fd) != 0 || !ok) {
    errno = ok ? errno : error;
    return false;
  }
  return true;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

int fileError(const std::string& path) {
  std::fprintf(stderr, "tabulon: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
  return 2;
}

}  // namespace

int writeResult(std::string_view bytes, const char* path, Logo logo) {
  if (path == nullptr || std::strcmp(path, "-") == 0) {
    if (logo == Logo::kBeside && !writeFile("logo.png", reportLogo(), O_EXCL)) {
      return fileError("logo.png");
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
        std::fflush(stdout) == 0) {
      return 0;
    }
    std::fprintf(stderr, "tabulon: cannot write the output: %s\n", std::strerror(errno));
    return 1;
  }
  const std::string file = path;
  if (logo == Logo::kBeside) {
    const std::string logoPath = folderOf(file) + "/logo.png";
    if (!writeFile(logoPath, reportLogo(), O_TRUNC)) return fileError(logoPath);
  }
  if (!writeFile(file, bytes, O_TRUNC)) return fileError(file);
  return 0;
}

}  // namespace tabulon
