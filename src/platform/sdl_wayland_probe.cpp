// The Wayland compositor probe: one registry round trip through
// libwayland-client, loaded at run time. Main thread. Any failure to load the
// library or to connect reports kUnknown; nothing here aborts.
#include "platform/sdl_wayland_probe.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// wl_display.get_registry, the request's opcode in the core protocol.
constexpr uint32_t kGetRegistry = 1;

struct RegistryListener {
  void (*global)(void* data, void* registry, uint32_t name, const char* interface,
                 uint32_t version);
  void (*globalRemove)(void* data, void* registry, uint32_t name);
};

void OnGlobal(void* data, void*, uint32_t, const char* interface, uint32_t) {
  if (std::strcmp(interface, "wl_seat") == 0) *static_cast<bool*>(data) = true;
}
void OnGlobalRemove(void*, void*, uint32_t) {}

}  // namespace

WaylandSeat ProbeWaylandSeat() {
  if (std::getenv("WAYLAND_SOCKET")) return WaylandSeat::kUnknown;
  // Kept loaded: SDL's Wayland driver loads the same library next.
  void* library = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!library) return WaylandSeat::kUnknown;
  auto connect = reinterpret_cast<void* (*)(const char*)>(dlsym(library, "wl_display_connect"));
  auto disconnect = reinterpret_cast<void (*)(void*)>(dlsym(library, "wl_display_disconnect"));
  auto roundtrip = reinterpret_cast<int (*)(void*)>(dlsym(library, "wl_display_roundtrip"));
  auto marshal = reinterpret_cast<void* (*)(void*, uint32_t, const void*, ...)>(
      dlsym(library, "wl_proxy_marshal_constructor"));
  auto addListener = reinterpret_cast<int (*)(void*, void (**)(void), void*)>(
      dlsym(library, "wl_proxy_add_listener"));
  auto destroy = reinterpret_cast<void (*)(void*)>(dlsym(library, "wl_proxy_destroy"));
  const void* registryInterface = dlsym(library, "wl_registry_interface");
  if (!connect || !disconnect || !roundtrip || !marshal || !addListener || !destroy ||
      !registryInterface) {
    return WaylandSeat::kUnknown;
  }
  void* display = connect(nullptr);
  if (!display) return WaylandSeat::kUnknown;
  static RegistryListener listener = {OnGlobal, OnGlobalRemove};
  bool seat = false;
  WaylandSeat result = WaylandSeat::kUnknown;
  void* registry = marshal(display, kGetRegistry, registryInterface, nullptr);
  if (registry) {
    addListener(registry, reinterpret_cast<void (**)(void)>(&listener), &seat);
    if (roundtrip(display) >= 0) result = seat ? WaylandSeat::kPresent : WaylandSeat::kMissing;
    destroy(registry);
  }
  disconnect(display);
  return result;
}
