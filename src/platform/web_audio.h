// What the web backend's window half learns from its sound half, to tell the
// page where the music stands against the show's clock.
#pragma once
#include <cstdint>

// Seconds of sound taken by the worklet since the device was resumed, and the
// clock's reading (PlatformClockCounter) at that resume. Main thread. false
// while no device plays.
bool WebAudioPosition(double* secondsPlayed, uint64_t* resumedAt);
