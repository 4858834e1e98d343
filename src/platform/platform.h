// The platform layer: the operating-system services the show needs, in plain
// functions, and the only code that knows SDL, X11 or POSIX. The SDL backend
// (sdl_*.cpp) gives the window, the GL context, events and message boxes; the
// POSIX files (posix_*.cpp) give the instance guard, the allocator policy, the
// monotonic and wall clocks and sleeping. The sound output is in audio_device.h
// and the file reader in whole_file.h.
//
// Each service says its thread, its units and what it does on failure.
#pragma once
#include <cstdint>

// Single-instance guard, per user, released by the kernel when the process
// ends however it ends. Main thread. Returns false only when another live
// process holds it; with no socket to be had it returns true (play).
bool PlatformAcquireInstanceGuard(const char* name);

// Gives the guard up early. Main thread; never fails. Message boxes only
// report a failed start-up, and SDL shows them from a forked child that would
// otherwise keep the guard alive for as long as the box stays open.
void PlatformReleaseInstanceGuard();

// Starts the video system. Main thread. Refuses a headless video driver
// unless it was asked for explicitly (SDL_VIDEODRIVER). false on failure; the
// cause goes to stderr.
bool PlatformInitVideo();

// The desktop size of the primary display, in pixels. Main thread, after
// PlatformInitVideo; never fails.
void PlatformScreenSize(int32_t* width, int32_t* height);

// Creates the hidden, borderless, topmost window of the given size in pixels
// with a double-buffered RGBA8 colour buffer (no depth, no stencil) and an
// OpenGL 3.0+ compatibility context, current on this thread. Main thread.
// false on failure; the cause goes to stderr.
bool PlatformCreateWindow(int32_t width, int32_t height);

// Shows the window borderless over the whole primary display at its current
// resolution (pixels); the display mode is not changed. Main thread; a window
// manager that refuses leaves the window where it was.
void PlatformShowFullscreen(int32_t width, int32_t height);

// GL function lookup for the current context. Main thread. The name
// kPlatformSwapIntervalName resolves to the swap-interval control, an
// int (*)(int) that returns 0 on success. Note: the underlying loader may
// return non-null even for names it does not know.
void* PlatformGlProcAddress(const char* name);
inline constexpr const char* kPlatformSwapIntervalName = "SDL_GL_SetSwapInterval";

// Hides the pointer over the window. Main thread; never fails.
void PlatformHideCursor();

// Takes the window off the screen, so that a message box is not hidden
// behind it. Main thread; never fails.
void PlatformHideWindow();

// Presents the back buffer. Main thread; waits for the retrace only where
// PlatformSwapWaitsForRetrace says so.
void PlatformSwapBuffers();

// Whether a swap waits for the display's retrace: false for the headless
// drivers (offscreen, dummy), which present nowhere, and where the swap
// interval could not be set to 1. Main thread, after PlatformCreateWindow.
bool PlatformSwapWaitsForRetrace();

// The primary display's refresh rate in Hz; 60 where the driver does not
// say. Main thread.
int PlatformRefreshRate();

// Shows an OK-only message box with no owner window and writes
// "caption: text" to stderr. Main thread. caption may be null for the
// default caption "Error". A box that cannot be shown is skipped; this never
// crashes.
void PlatformShowMessage(const char* caption, const char* text);

// Monotonic counter and its frequency in counts per second (>= 1 MHz). Any
// thread; never fails.
uint64_t PlatformClockCounter();
uint64_t PlatformClockFrequency();

// Sleeps for about counts of the monotonic counter (a little longer, never
// shorter unless a signal arrives). Any thread.
void PlatformSleep(uint64_t counts);

// Wall-clock time in nanoseconds since 1970, for reports that are compared
// with other processes' clocks. Any thread; never fails.
int64_t PlatformWallClockNanoseconds();

// Sets the allocator's policy for the show's large, short-lived buffers: each
// gets its own mapping, so freeing one returns its memory to the system.
// Main thread, before any other thread starts; a refusal is harmless.
void PlatformPrepareAllocator();

// Handles every queued window event. Main thread. Returns true when the
// window was closed (or the system asked the program to quit) since the
// previous pump; *exitCode is then 0 and left unchanged otherwise.
bool PlatformPumpEvents(int* exitCode);

// True when Escape is held now or was pressed since the previous call. Main
// thread.
bool PlatformEscapePressed();
