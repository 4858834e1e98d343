// Whole-file reader on POSIX descriptors.
#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <new>

namespace {
// Reads until size bytes have arrived or the file ends early; returns the
// count read. Interrupted reads are retried rather than reported as short.
size_t ReadFully(int fd, uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = read(fd, buffer + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}
}  // namespace

uint8_t* ReadWholeFile(const char* path, int32_t* length) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > INT32_MAX) {
    close(fd);
    return nullptr;
  }
  const size_t size = static_cast<size_t>(info.st_size);
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  uint8_t* buffer = new (std::nothrow) uint8_t[size];
  if (!buffer) {
    close(fd);
    return nullptr;
  }
  const size_t got = ReadFully(fd, buffer, size);
  close(fd);
  if (got != size) {
    delete[] buffer;
    return nullptr;
  }
  if (length) *length = static_cast<int32_t>(size);
  return buffer;
}
