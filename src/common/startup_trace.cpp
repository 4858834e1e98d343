#include "common/startup_trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {
constexpr int kMaxEntries = 24;
struct Entry {
  const char* name;
  double seconds;
  bool total;
};
struct Trace {
  bool enabled = std::getenv("NITRATE_STATS") != nullptr;
  double last = -1.0;
  int count = 0;
  Entry entries[kMaxEntries] = {};
};
Trace& TheTrace() {
  static Trace trace;
  return trace;
}
}  // namespace

double StartupClock() {
  return static_cast<double>(PlatformClockCounter()) /
         static_cast<double>(PlatformClockFrequency());
}

void AddStartupTime(const char* name, double seconds) {
  Trace& trace = TheTrace();
  if (!trace.enabled) return;
  for (int i = 0; i < trace.count; ++i) {
    if (trace.entries[i].total && std::strcmp(trace.entries[i].name, name) == 0) {
      trace.entries[i].seconds += seconds;
      return;
    }
  }
  if (trace.count < kMaxEntries) trace.entries[trace.count++] = {name, seconds, true};
}

void MarkStartupStep(const char* name) {
  Trace& trace = TheTrace();
  if (!trace.enabled) return;
  const double now = StartupClock();
  // The first mark only starts the clock.
  if (trace.last >= 0.0 && trace.count < kMaxEntries) {
    trace.entries[trace.count++] = {name, now - trace.last, false};
  }
  trace.last = now;
}

void ReportStartupSteps() {
  const Trace& trace = TheTrace();
  if (!trace.enabled) return;
  std::fprintf(stderr, "startup:");
  for (int i = 0; i < trace.count; ++i) {
    const Entry& entry = trace.entries[i];
    std::fprintf(stderr, " %s%s=%.1f", entry.total ? "+" : "", entry.name, entry.seconds * 1000.0);
  }
  std::fprintf(stderr, "\n");
}
