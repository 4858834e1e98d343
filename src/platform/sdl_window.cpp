// SDL2 backend of the window, GL context, events and message boxes.
// Main thread only. Failures are reported on stderr and as false results;
// nothing here aborts the process.
#include "platform/platform.h"
#include "platform/sdl_wayland_probe.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

SDL_Window* window = nullptr;
SDL_GLContext context = nullptr;
bool quitPosted = false;
int quitCode = 0;
bool escapeLatched = false;

// The environment variable's value, or null where it is unset or empty.
const char* EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

bool VideoDriverIsHeadless(const char* driver) {
  return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// On X11, asks the window manager for a fullscreen, topmost window from the
// moment it is mapped, by setting _NET_WM_STATE before the map (EWMH window
// managers read it then). SDL's own fullscreen switch would instead wait up
// to 100 ms for the geometry to change, which it never does here: the window
// already has the screen's size and place. false where there is no X11.
bool RequestFullscreenAtMap(SDL_Window* target) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(target, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  Display* display = info.info.x11.display;
  Atom states[2] = {XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False),
                    XInternAtom(display, "_NET_WM_STATE_ABOVE", False)};
  XChangeProperty(display, info.info.x11.window, XInternAtom(display, "_NET_WM_STATE", False),
                  XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(states), 2);
  return true;
}

// SDL shows a message box from a forked child while the parent waits. A
// parent killed meanwhile would leave the box on screen for good, so the
// child is tied to the parent's life: it gets SIGKILL when the parent goes,
// and goes at once if the parent is already gone.
pid_t boxParent = 0;
void TieChildToParent() {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != boxParent) _exit(1);
}

// Whether a window manager has put the X11 window into a frame of its own.
bool IsFramed(SDL_Window* target) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(target, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(info.info.x11.display, info.info.x11.window, &root, &parent, &children, &count)) {
    return false;
  }
  if (children) XFree(children);
  return parent != root;
}

// Moves the X11 window to (x, y) on the root and waits up to a second until
// the window manager has done so: SDL itself waits only 100 ms, too short
// for a loaded compositor.
void MoveAndWait(SDL_Window* target, int x, int y) {
  SDL_SetWindowPosition(target, x, y);
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(target, &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  for (int i = 0; i < 100; ++i) {
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    XSync(display, False);
    XTranslateCoordinates(display, info.info.x11.window, DefaultRootWindow(display), 0, 0, &rootX,
                          &rootY, &child);
    if (rootX == x && rootY == y) return;
    SDL_Delay(10);
  }
}

// The window named by a root window property of type WINDOW, such as the
// window manager's _NET_SUPPORTING_WM_CHECK or _NET_ACTIVE_WINDOW; 0 when the
// property is unset.
Window RootWindowProperty(Display* display, const char* name) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* value = nullptr;
  Window found = 0;
  if (XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False), 0,
                         1, False, XA_WINDOW, &type, &format, &count, &after, &value) == Success &&
      type == XA_WINDOW && format == 32 && count == 1) {
    found = static_cast<Window>(*reinterpret_cast<unsigned long*>(value));
  }
  if (value) XFree(value);
  return found;
}

// Whether the environment names a display of any kind, X11 or Wayland.
bool DisplayNamed() {
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET"}) {
    if (EnvironmentValue(variable)) return true;
  }
  return false;
}

// Whether an EWMH window manager runs on the X display named by DISPLAY.
bool WindowManagerRuns() {
  const char* name = EnvironmentValue("DISPLAY");
  if (!name) return false;
  Display* display = XOpenDisplay(name);
  if (!display) return false;
  const bool found = RootWindowProperty(display, "_NET_SUPPORTING_WM_CHECK") != 0;
  XCloseDisplay(display);
  return found;
}

// Waits up to a second until the window manager names the X11 window as the
// active one. A window manager gives a new dialog the focus only while its
// owner has it (openbox does so, and refuses a transient of an unfocused
// window), and a loaded one may handle the owner's activation request after
// the box has already been mapped.
void WaitUntilActive(SDL_Window* target) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(target, &info) || info.subsystem != SDL_SYSWM_X11) return;
  for (int i = 0; i < 100; ++i) {
    if (RootWindowProperty(info.info.x11.display, "_NET_ACTIVE_WINDOW") == info.info.x11.window) {
      return;
    }
    SDL_Delay(10);
  }
}

// On X11 a window manager stacks a box of its own in the normal layer, so a
// box without an owner opens behind a running copy of the show, which holds
// the topmost ("above") state: the user never sees it, and the second copy
// waits for an answer that cannot be given. A box is therefore made the
// dialog of a 1 x 1 borderless topmost window under its middle: window
// managers stack a dialog with its owner, above the owner, in the owner's
// layer. Nothing where the X11 driver cannot start (then SDL's own choice
// shows the box, as zenity on Wayland). The owner, or null.
SDL_Window* CreateBoxOwner() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") != 0) return nullptr;
  // Without a window manager there are no layers, and SDL would give the
  // owner the keyboard focus that the box needs: no owner then.
  if (!WindowManagerRuns()) return nullptr;
  if (!driver) {
    const char* requested = EnvironmentValue("SDL_VIDEODRIVER");
    if (requested && std::strcmp(requested, "x11") != 0) return nullptr;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // SIGTERM and SIGINT must still end a copy whose box is up, as before
    // video started: SDL's handlers would turn them into a quit event that
    // nobody reads while the box waits.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  }
  int x = SDL_WINDOWPOS_CENTERED;
  int y = SDL_WINDOWPOS_CENTERED;
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(0, &bounds) == 0) {
    x = bounds.x + bounds.w / 2;
    y = bounds.y + bounds.h / 3;
  }
  // SDL places the box by the owner's place relative to its parent, taken
  // once more as relative to the root: right where a window manager framed
  // the owner, at twice its place where none did. mutter leaves borderless
  // windows unframed, so the owner starts at half its place, and moves to
  // the whole where it was framed after all.
  const bool placed = x != SDL_WINDOWPOS_CENTERED;
  SDL_Window* owner =
      SDL_CreateWindow("", placed ? x / 2 : x, placed ? y / 2 : y, 1, 1,
                       SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_SKIP_TASKBAR);
  if (!owner) return nullptr;
  SDL_ShowWindow(owner);
  if (placed && IsFramed(owner)) MoveAndWait(owner, x, y);
  // An activation request: a window manager that keeps a newly mapped window
  // of another program below the focused one (mutter does) raises and
  // focuses this one, and with it the box.
  SDL_RaiseWindow(owner);
  WaitUntilActive(owner);
  return owner;
}

// The window asks to quit; the pump that saw it returns the request.
void PostQuit(int exitCode) {
  if (!quitPosted) quitCode = exitCode;
  quitPosted = true;
}

// SDL 2.26's Wayland driver reads the compositor's seat while it starts and
// crashes on a null pointer where there is none, as on a headless compositor.
// SDL tries that driver when asked to, or when there is no X display (which
// it prefers).
bool WaylandDriverWouldCrash() {
  const char* requested = EnvironmentValue("SDL_VIDEODRIVER");
  const bool tried =
      requested ? std::strstr(requested, "wayland") != nullptr : !EnvironmentValue("DISPLAY");
  return tried && ProbeWaylandSeat() == WaylandSeat::kMissing;
}

void HandleWindowEvent(const SDL_WindowEvent& event) {
  // Focus changes must neither pause nor end the show; closing ends it.
  if (event.event == SDL_WINDOWEVENT_CLOSE) PostQuit(0);
}

}  // namespace

bool PlatformInitVideo() {
  // Keep the show on screen when another application takes the focus, and
  // keep the screen saver and display power saving away while it runs.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
  if (WaylandDriverWouldCrash()) {
    std::fprintf(stderr,
                 "video: the Wayland compositor offers no seat (no keyboard, no pointer); "
                 "SDL's Wayland driver cannot start without one "
                 "(under XWayland, SDL_VIDEODRIVER=x11 plays)\n");
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "video: %s\n", SDL_GetError());
    return false;
  }
  const char* driver = SDL_GetCurrentVideoDriver();
  if (VideoDriverIsHeadless(driver) && !EnvironmentValue("SDL_VIDEODRIVER")) {
    std::fprintf(stderr, "video: no display (SDL fell back to '%s')\n", driver);
    return false;
  }
  SDL_DisableScreenSaver();
  return true;
}

bool PlatformCreateWindow(int32_t width, int32_t height) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

  const Uint32 flags =
      SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP;
  // Created at its final size: an off-screen surface keeps the size it was
  // made with.
  window = SDL_CreateWindow("NITRATE", 0, 0, width, height, flags);
  if (!window) {
    std::fprintf(stderr, "video: %s\n", SDL_GetError());
    return false;
  }
  context = SDL_GL_CreateContext(window);
  if (!context) {
    std::fprintf(stderr, "video: %s\n", SDL_GetError());
    return false;
  }
  SDL_GL_MakeCurrent(window, context);
  return true;
}

void PlatformScreenSize(int32_t* width, int32_t* height) {
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
    *width = mode.w;
    *height = mode.h;
    return;
  }
  SDL_Rect bounds{0, 0, 640, 480};
  SDL_GetDisplayBounds(0, &bounds);
  *width = bounds.w;
  *height = bounds.h;
}

void PlatformShowFullscreen(int32_t width, int32_t height) {
  // Without a window manager a fullscreen-desktop request alone leaves the
  // window at its created size, so place and size it ourselves as well.
  SDL_SetWindowPosition(window, 0, 0);
  SDL_SetWindowSize(window, width, height);
  const bool requested = RequestFullscreenAtMap(window);
  SDL_ShowWindow(window);
  if (!requested) SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_RaiseWindow(window);
}

void* PlatformGlProcAddress(const char* name) {
  if (std::strcmp(name, kPlatformSwapIntervalName) == 0) {
    return reinterpret_cast<void*>(&SDL_GL_SetSwapInterval);
  }
  return SDL_GL_GetProcAddress(name);
}

void PlatformHideCursor() { SDL_ShowCursor(SDL_DISABLE); }

void PlatformHideWindow() {
  if (window) SDL_HideWindow(window);
}

void PlatformSwapBuffers() { SDL_GL_SwapWindow(window); }

bool PlatformSwapWaitsForRetrace() {
  if (VideoDriverIsHeadless(SDL_GetCurrentVideoDriver())) return false;
  return SDL_GL_GetSwapInterval() != 0;
}

int PlatformRefreshRate() {
  SDL_DisplayMode mode{};
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.refresh_rate >= 20 &&
      mode.refresh_rate <= 500) {
    return mode.refresh_rate;
  }
  return 60;
}

void PlatformShowMessage(const char* caption, const char* text) {
  const char* shownCaption = caption ? caption : "Error";
  std::fprintf(stderr, "%s: %s\n", shownCaption, text ? text : "");
  std::fflush(stderr);
  PlatformReleaseInstanceGuard();
  if (boxParent == 0) {
    boxParent = getpid();
    pthread_atfork(nullptr, nullptr, TieChildToParent);
  }
  // With no display named there is nowhere to show a box, and the message is
  // on stderr already. SDL would still try zenity, which takes a quarter of a
  // second to find that out.
  if (!DisplayNamed()) return;
  SDL_Window* owner = CreateBoxOwner();
  // Fails quickly (and harmlessly) where the display cannot be reached.
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, shownCaption, text ? text : "", owner);
  if (owner) SDL_DestroyWindow(owner);
}

bool PlatformPumpEvents(int* exitCode) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_QUIT: PostQuit(0); break;
      case SDL_WINDOWEVENT: HandleWindowEvent(event.window); break;
      case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE) escapeLatched = true;
        break;
      default: break;
    }
  }
  if (!quitPosted) return false;
  quitPosted = false;
  *exitCode = quitCode;
  return true;
}

bool PlatformEscapePressed() {
  const Uint8* keys = SDL_GetKeyboardState(nullptr);
  const bool held = keys && keys[SDL_SCANCODE_ESCAPE];
  const bool pressed = escapeLatched || held;
  escapeLatched = false;
  return pressed;
}
