// The sound output: one device that plays a caller-owned looping buffer of
// 32-bit float stereo frames round and round and counts the frames it has
// taken. Open and resume run on the main thread; the device's own thread
// copies the loop; any thread may read the count. No SDL type appears here.
#pragma once
#include <cstdint>

// Opens the default output for float stereo at sampleRate Hz, paused, playing
// loop[0, 2 * frameCount) (left, right interleaved) from frame 0. The loop is
// read, never written, and must live until process exit. Returns false when
// no device could be opened: nothing plays and the count stays 0. Call once.
bool AudioDeviceOpenLoop(uint32_t sampleRate, const float* loop, uint32_t frameCount);

// Starts (or, paused, holds) playback. Nothing happens without a device.
void AudioDeviceResume();

// Frames taken from the loop since playback began, across all passes. A frame
// counted here has been copied out, so its place in the loop may be rewritten.
uint64_t AudioDeviceFramesPlayed();

// Called by the thread that writes the loop after each write, so the device's
// thread sees the new samples (the only hand-off between the two: no locks).
// The first call raises the calling thread's priority where the system
// allows, so that it keeps ahead of the device on a busy machine.
void AudioDeviceLoopWritten();
