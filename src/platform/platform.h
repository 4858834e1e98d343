// The platform layer: the few operating-system services the show needs, in
// plain functions. Everything here runs on the main thread. This header and
// its implementation are the only places that know SDL; the rest of the
// program sees no SDL type.
#pragma once
#include <cstdint>

// Single-instance guard, per user, released by the kernel when the process
// ends however it ends. Returns false when another live process holds it.
bool PlatformAcquireInstanceGuard(const char* name);

// Gives the guard up early. Message boxes only report a failed start-up, and
// SDL shows them from a forked child that would otherwise keep the guard
// alive for as long as the box stays open.
void PlatformReleaseInstanceGuard();

// Starts the video system. Refuses a headless video driver unless it was
// asked for explicitly (SDL_VIDEODRIVER). false on failure; the cause goes to
// stderr.
bool PlatformInitVideo();

// The desktop size of the primary display, in pixels. After PlatformInitVideo.
void PlatformScreenSize(int32_t* width, int32_t* height);

// Creates the hidden, borderless, topmost window of the given size with a
// double-buffered RGBA8 colour buffer (no depth, no stencil) and an OpenGL
// 3.0+ compatibility context, current on this thread. false on failure; the
// cause goes to stderr.
bool PlatformCreateWindow(int32_t width, int32_t height);

// Shows the window borderless over the whole primary display at its current
// resolution; the display mode is not changed.
void PlatformShowFullscreen(int32_t width, int32_t height);

// GL function lookup for the current context. The name
// kPlatformSwapIntervalName resolves to the swap-interval control, an
// int (*)(int) that returns 0 on success. Note: the underlying loader may
// return non-null even for names it does not know.
void* PlatformGlProcAddress(const char* name);
inline constexpr const char* kPlatformSwapIntervalName = "SDL_GL_SetSwapInterval";

void PlatformHideCursor();
// Takes the window off the screen, so that a message box is not hidden
// behind it.
void PlatformHideWindow();
void PlatformSwapBuffers();

// Whether a swap waits for the display's retrace: false for the headless
// drivers (offscreen, dummy), which present nowhere, and where the swap
// interval could not be set to 1. After PlatformCreateWindow.
bool PlatformSwapWaitsForRetrace();

// The primary display's refresh rate in Hz; 60 where the driver does not
// say.
int PlatformRefreshRate();

// Shows an OK-only message box with no owner window and writes
// "caption: text" to stderr. caption may be null for the default caption
// "Error". A box that cannot be shown is skipped; this never crashes.
void PlatformShowMessage(const char* caption, const char* text);

// Monotonic counter and its frequency in counts per second (>= 1 MHz).
uint64_t PlatformClockCounter();
uint64_t PlatformClockFrequency();

// Posts the quit request with an exit code. The next PlatformPumpEvents
// removes it.
void PlatformPostQuit(int exitCode);

// Handles every queued window event. Closing the window posts quit with 0.
// Returns true when this pump removed a quit request; *exitCode is then its
// code and left unchanged otherwise.
bool PlatformPumpEvents(int* exitCode);

// True when Escape is held now or was pressed since the previous call.
bool PlatformEscapePressed();

