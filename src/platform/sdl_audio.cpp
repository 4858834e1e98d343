// The sound output on an SDL2 audio device. SDL's audio thread runs
// FillFromLoop; it only copies the caller's loop and advances the
// frames-played count. A device that cannot be opened leaves the show silent.
#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/audio_device.h"

namespace {

// Small device buffers keep the count close to what is heard; 1024 frames is
// 23 ms at 44100 Hz, far below the refill thread's quarter-buffer rhythm.
constexpr Uint16 kDeviceBufferFrames = 1024;
constexpr int kBytesPerFrame = 2 * sizeof(float);
constexpr const char* kShowName = "NITRATE";
constexpr const char* kStreamName = "Music";

struct AudioLoop {
  SDL_AudioDeviceID device;
  const float* frames;
  uint32_t frameCount;
  // Written only by the device thread (release), read by anyone (acquire).
  std::atomic<uint64_t> framesPlayed;
  // Bumped (release) by the loop's writer after each write; the device
  // thread reads it (acquire) before copying, which orders the copy after it.
  std::atomic<uint64_t> writes;
};
AudioLoop audioLoop;

// Asks the scheduler to run the calling thread ahead of ordinary work, once
// per thread. The show's renderer keeps every core busy, and the two threads
// of the sound must each wake in time: a late copy is heard as a gap, a late
// refill as a stretch of music played twice. SDL's own audio thread asks for
// this itself, but its PipeWire driver calls the callback from a thread of
// PipeWire's, at ordinary priority. Where the system refuses (no rights, no
// RealtimeKit) nothing changes.
void RaiseThisThread(SDL_ThreadPriority priority) {
  thread_local bool raised = false;
  if (raised) return;
  raised = true;
  SDL_SetThreadPriority(priority);
}

void SDLCALL FillFromLoop(void*, Uint8* stream, int byteCount) {
  RaiseThisThread(SDL_THREAD_PRIORITY_TIME_CRITICAL);
  audioLoop.writes.load(std::memory_order_acquire);
  uint64_t played = audioLoop.framesPlayed.load(std::memory_order_relaxed);
  float* out = reinterpret_cast<float*>(stream);
  uint32_t framesLeft = static_cast<uint32_t>(byteCount) / kBytesPerFrame;
  while (framesLeft > 0) {
    const uint32_t position = static_cast<uint32_t>(played % audioLoop.frameCount);
    uint32_t run = audioLoop.frameCount - position;
    if (run > framesLeft) run = framesLeft;
    std::memcpy(out, audioLoop.frames + 2 * position, run * kBytesPerFrame);
    out += 2 * run;
    framesLeft -= run;
    played += run;
  }
  audioLoop.framesPlayed.store(played, std::memory_order_release);
}

bool DriverNamedByUser() {
  const char* named = std::getenv("SDL_AUDIODRIVER");
  return named && *named;
}

// SDL 2.26 settles on the first driver that starts, not the first that opens
// a device. Without a PulseAudio server it takes ALSA, which starts wherever
// libasound loads, and never reaches its own PipeWire driver, listed after
// ALSA: a PipeWire desktop without pipewire-pulse or pipewire-alsa would stay
// silent. So when SDL's choice opens nothing, the drivers after it are tried
// in SDL's order. disk and dummy never are: the show writes no files, and
// silence needs no driver. The device, or 0 with SDL's error for the last.
SDL_AudioDeviceID OpenOnLaterDriver(const SDL_AudioSpec& wanted) {
  const char* first = SDL_GetCurrentAudioDriver();
  bool past = false;
  for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) {
    const char* name = SDL_GetAudioDriver(i);
    if (!past) {
      past = first && std::strcmp(name, first) == 0;
      continue;
    }
    if (std::strcmp(name, "disk") == 0 || std::strcmp(name, "dummy") == 0) continue;
    if (SDL_AudioInit(name) != 0) continue;  // shuts the previous driver down first
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device != 0) return device;
  }
  return 0;
}

}  // namespace

bool AudioDeviceOpenLoop(uint32_t sampleRate, const float* loop, uint32_t frameCount) {
  if (audioLoop.device != 0 || !loop || frameCount == 0 || sampleRate > 0x7FFFFFFF) return false;
  // What a desktop's sound settings list the stream under, instead of
  // "SDL Application". Read when a driver connects; SDL_AUDIO_DEVICE_APP_NAME
  // and SDL_AUDIO_DEVICE_STREAM_NAME in the environment still win.
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, kShowName);
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, kStreamName);
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    std::fprintf(stderr, "No sound: %s\n", SDL_GetError());
    return false;
  }
  audioLoop.frames = loop;
  audioLoop.frameCount = frameCount;
  SDL_AudioSpec wanted;
  SDL_zero(wanted);
  wanted.freq = static_cast<int>(sampleRate);
  wanted.format = AUDIO_F32SYS;
  wanted.channels = 2;
  wanted.samples = kDeviceBufferFrames;
  wanted.callback = FillFromLoop;
  // No allowed changes: SDL converts to whatever the hardware takes, so the
  // callback always sees exactly this format and rate.
  audioLoop.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
  if (audioLoop.device == 0 && !DriverNamedByUser()) {
    std::fprintf(stderr, "sound: %s: %s; trying SDL's other drivers\n", SDL_GetCurrentAudioDriver(),
                 SDL_GetError());
    audioLoop.device = OpenOnLaterDriver(wanted);
    if (audioLoop.device != 0) {
      std::fprintf(stderr, "sound: playing through %s\n", SDL_GetCurrentAudioDriver());
    }
  }
  if (audioLoop.device == 0) {
    std::fprintf(stderr, "No sound: %s\n", SDL_GetError());
    return false;
  }
  return true;  // SDL opens devices paused
}

void AudioDeviceResume() {
  if (audioLoop.device != 0) SDL_PauseAudioDevice(audioLoop.device, 0);
}

uint64_t AudioDeviceFramesPlayed() {
  return audioLoop.framesPlayed.load(std::memory_order_acquire);
}

void AudioDeviceLoopWritten() {
  RaiseThisThread(SDL_THREAD_PRIORITY_HIGH);
  audioLoop.writes.fetch_add(1, std::memory_order_release);
}
