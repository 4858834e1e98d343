// Fetching the GL entry point table. Main thread, start-up only.
#include "common/gl_entry_points.h"

#include "common/messages.h"

GlEntryPoints gl;

namespace {
bool ReportMissing(const char* name) {
  ShowMessage(nullptr, name);
  ShowMessage(nullptr, kOpenGlExtensionsError);
  return false;
}
}  // namespace

bool FetchGlEntryPoints(GlEntryPoints* table, GlLookup lookup, const char* swapIntervalName) {
  table->swapInterval = reinterpret_cast<SwapIntervalFunction>(lookup(swapIntervalName));
  if (!table->swapInterval) return ReportMissing(swapIntervalName);
#define NITRATE_GL_FETCH(type, name)                   \
  table->name = reinterpret_cast<type>(lookup(#name)); \
  if (!table->name) return ReportMissing(#name);
  NITRATE_GL_FUNCTIONS(NITRATE_GL_FETCH)
#undef NITRATE_GL_FETCH
  return true;
}
