#include "read_progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "pivot/memory_budget.h"

namespace tabulon {

namespace {

constexpr std::uint64_t kProgressFrom = 50ull * 1024 * 1024;
constexpr std::size_t kChunk = 1 << 20;

// The size of a regular file, or 0 for anything else (pipes, terminals).
std::uint64_t regularFileSize(std::FILE* file) {
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

}  // namespace

bool readChunksWithProgress(std::FILE* file, const char* name,
                            const std::function<void(std::string_view)>& chunk) {
  const std::uint64_t size = regularFileSize(file);
  const bool show = size > kProgressFrom && isatty(STDERR_FILENO) == 1;
  std::uint64_t read = 0;
  int shown = -1;
  std::string buffer(kChunk, '\0');
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
    chunk(std::string_view(buffer.data(), n));
    read += n;
    const int percent = read >= size ? 100 : static_cast<int>(read * 100 / size);
    if (show && percent != shown) {
      shown = percent;
      std::fprintf(stderr, "\rtabulon: reading %s: %3d%% of %llu MB", name, percent,
                   static_cast<unsigned long long>(size >> 20));
    }
  }
  const int error = errno;
  const bool ok = std::ferror(file) == 0;
  if (shown >= 0) std::fputs("\r\033[K", stderr);
  errno = error;
  return ok;
}

bool readAllWithProgress(std::FILE* file, const char* name, std::string& text) {
  // The text stays charged to the request's memory budget until it ends.
  std::size_t charged = 0;
  auto reserve = [&](std::size_t wanted) {
    if (wanted <= text.capacity()) return;
    chargeMemory(wanted - charged);
    charged = wanted;
    text.reserve(wanted);
  };
  const std::uint64_t size = regularFileSize(file);
  if (size > 0) reserve(text.size() + static_cast<std::size_t>(size));
  return readChunksWithProgress(file, name, [&](std::string_view piece) {
    if (text.size() + piece.size() > text.capacity()) {
      reserve(std::max(text.size() + piece.size(), 2 * text.capacity()));
    }
    text.append(piece);
  });
}

}  // namespace tabulon
