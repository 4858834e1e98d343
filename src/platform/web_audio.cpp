// The sound output on Web Audio: an AudioWorklet (web/nitrate-audio.js)
// copies the caller's loop straight out of the program's shared memory, 128
// frames a quantum, and advances the frames-played count there, as SDL's
// audio thread does on the desktop. The refill thread is a pthread writing
// the same memory. The audio context runs at the music's own rate, so no
// sample is converted on the way. A browser without AudioWorklet or shared
// memory leaves the show silent.
#include <emscripten.h>

#include <atomic>
#include <cstdio>

#include "platform/audio_device.h"
#include "platform/platform.h"
#include "platform/web_audio.h"

namespace {

// Read by the worklet through Atomics on the shared memory; the offsets of
// these fields are handed to it when it starts.
struct AudioLoop {
  const float* frames = nullptr;
  uint32_t frameCount = 0;
  uint32_t sampleRate = 0;
  uint64_t resumedAt = 0;  // the clock's reading at the resume (main thread)
  bool open = false;
  std::atomic<uint64_t> framesPlayed{0};  // worklet stores, anyone loads
  std::atomic<uint64_t> writes{0};        // the loop's writer bumps it
  std::atomic<int32_t> playing{0};        // 1 once resumed
};
AudioLoop Loop;
static_assert(std::atomic<uint64_t>::is_always_lock_free);

// Makes the audio context at sampleRate, loads the worklet and connects it.
// Resolves to 1 when the node plays (silence until playing is set), 0 when
// the browser cannot.
EM_ASYNC_JS(int, StartWorklet,
            (uint32_t sampleRate, const float* loop, uint32_t frameCount, void* played,
             void* writes, void* playing),
            {
              const settings = Module["nitrate"] || {};
              try {
                const context = new AudioContext({sampleRate: sampleRate, latencyHint: "interactive"});
                if (settings.onAudioOpen) settings.onAudioOpen(context.sampleRate);
                await context.audioWorklet.addModule(settings.audioWorkletUrl || "nitrate-audio.js");
                const node = new AudioWorkletNode(context, "nitrate-loop", {
                  numberOfInputs: 0,
                  numberOfOutputs: 1,
                  outputChannelCount: [2],
                  processorOptions: {
                    memory: wasmMemory.buffer,
                    loop: loop,
                    frameCount: frameCount,
                    played: played,
                    writes: writes,
                    playing: playing,
                    tapFrames: settings.audioTapFrames || 0,
                  },
                });
                node.port.onmessage = event => {
                  if (settings.onAudioTap) settings.onAudioTap(event.data);
                };
                node.connect(context.destination);
                if (context.state !== "running") await context.resume();
                Module["nitrateAudio"] = context;
                return 1;
              } catch (error) {
                console.warn("No sound: " + error);
                return 0;
              }
            });

}  // namespace

bool AudioDeviceOpenLoop(uint32_t sampleRate, const float* loop, uint32_t frameCount) {
  if (Loop.open || !loop || frameCount == 0 || sampleRate > 0x7FFFFFFF) return false;
  Loop.frames = loop;
  Loop.frameCount = frameCount;
  Loop.sampleRate = sampleRate;
  Loop.open = StartWorklet(sampleRate, loop, frameCount, &Loop.framesPlayed, &Loop.writes,
                           &Loop.playing) != 0;
  if (!Loop.open) std::fprintf(stderr, "No sound: this browser cannot play it\n");
  return Loop.open;
}

void AudioDeviceResume() {
  if (!Loop.open) return;
  Loop.resumedAt = PlatformClockCounter();
  Loop.playing.store(1, std::memory_order_release);
}

bool WebAudioPosition(double* secondsPlayed, uint64_t* resumedAt) {
  if (!Loop.open || Loop.playing.load(std::memory_order_acquire) == 0) return false;
  *secondsPlayed = static_cast<double>(AudioDeviceFramesPlayed()) / Loop.sampleRate;
  *resumedAt = Loop.resumedAt;
  return true;
}

uint64_t AudioDeviceFramesPlayed() { return Loop.framesPlayed.load(std::memory_order_acquire); }

void AudioDeviceLoopWritten() { Loop.writes.fetch_add(1, std::memory_order_release); }
