// Synthesises the march in score.h into stereo PCM as a small theatre pit band:
// cornets, clarinets, flute/piccolo, trombones, horns, tuba, glockenspiel, piano,
// snare, bass drum and cymbals, each at its own place on the stage, played with
// humanised timing and phrase-shaped dynamics, in a theatre-sized room.
// Everything is computed from the score and fixed seeds, so the output is identical
// on every run. Runs on the tool's only thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kSampleRate = 44100;
// The player starts the file after 16384 frames of silence, so file time 0 is heard
// at show time 16384 / 44100 s.
constexpr double kPlayerLeadInSeconds = 16384.0 / kSampleRate;
// 96 beats per minute in 2/4: four bars are one five-second show section.
constexpr double kSecondsPerBeat = 60.0 / 96.0;
constexpr double kSecondsPerBar = 2 * kSecondsPerBeat;
// Bar 0 is the phrase starting at show time 4 s.
constexpr double kShowTimeOfBarZero = 4.0;
// The file runs until show time 130.37 s; the picture ends at 131 s.
constexpr double kFileSeconds = 130.0;
// Everything, reverb tail included, has fallen silent by file time 129.5 s (show
// time 129.87 s), before the picture's last second.
constexpr double kSilentFromFileSeconds = 129.5;

// File time in seconds at which bar `bar` (fractional bars allowed) starts.
double BarToFileSeconds(double bar);

struct Stereo {
  std::vector<float> left, right;  // same length, kSampleRate frames per second
};

// One deterministic white-noise stream; seed 0 is replaced by a fixed non-zero seed.
struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
  float Next();  // uniform in [-1, 1)
};

// Renders the whole score, dry band plus reverb, unmastered. False with *error set if
// a line of the score does not parse; *out is unchanged then.
bool RenderMarch(Stereo* out, std::string* error);

// Adds one bass-drum stroke at file time `start` (s) to `mix`; for tests and the score.
void AddBassDrum(Stereo* mix, double start, float level);
