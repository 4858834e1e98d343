// Single-instance guard on an abstract Unix socket: visible to every process
// of the machine, named per user, writes no file, and the kernel releases it
// when the process ends, crash and kill included. Main thread, start-up only.
#include "platform/platform.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {
int guardSocket = -1;
}  // namespace

bool PlatformAcquireInstanceGuard(const char* name) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return true;  // no guard to be had; better to play than refuse
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // Abstract namespace: a leading zero byte, then "<name>.<uid>".
  const int length = std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "%s.%u", name,
                                   static_cast<unsigned>(getuid()));
  const socklen_t size =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(length));
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
    const bool taken = errno == EADDRINUSE;  // another copy of this user's show
    close(fd);
    return !taken;
  }
  guardSocket = fd;  // stays open for the life of the process
  return true;
}

void PlatformReleaseInstanceGuard() {
  if (guardSocket >= 0) close(guardSocket);
  guardSocket = -1;
}
