// The music stream: the whole Ogg Vorbis file in memory, decoded on demand by
// a refill thread into a looping two-half float buffer that the sound device
// plays. Open and resume run on the main thread; everything else on the
// refill thread.
#pragma once
#include <cstdint>

#include "audio/music_refill.h"

inline constexpr const char* kMusicPath = "music/belvamarch.ogg";

// Reads and opens the music, opens the sound device paused, queues the
// looping buffer and starts the refill thread. false when the file cannot be
// read, is not a decodable stream, or states a sample rate outside
// 8000-192000 Hz (the caller shows "Sound error."). A missing or refusing
// sound device is not an error: the show runs silent.
bool OpenMusicStream();

// Starts playback; the first half of the buffer (silence) plays first.
void ResumeMusicStream();

// What OpenMusicStream does once the decoder is open, for any source of
// frames: opens the device paused on the program's buffer and starts the
// refill thread (detached, runs until process exit), which fills half 1 at
// once. The source and its context must live until process exit. Call at
// most once per process. Returns whether a sound device opened.
bool StartMusicPlayback(const MusicFrameSource& source, uint32_t sampleRate);
