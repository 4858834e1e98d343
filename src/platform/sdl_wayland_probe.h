// Asks a Wayland compositor what it offers before SDL's Wayland driver
// starts on it. Main thread, before the video system starts. Used only
// inside the platform layer.
#pragma once

enum class WaylandSeat {
  kUnknown,  // no libwayland-client, no compositor, or a socket handed
             // over in WAYLAND_SOCKET, which only one connection may take
  kPresent,  // the compositor offers at least one wl_seat
  kMissing,  // it offers none: no keyboard and no pointer
};

// Connects to the compositor that WAYLAND_DISPLAY (or wayland-0) names, lists
// its globals once and disconnects. Loads libwayland-client at run time, as
// SDL itself does, so the program links nothing new.
WaylandSeat ProbeWaylandSeat();
