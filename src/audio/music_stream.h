// The music stream: the whole Ogg Vorbis file in memory, decoded on demand by
// a refill thread into a looping two-half float buffer that the sound device
// plays. Open and resume run on the main thread; everything else on the
// refill thread.
#pragma once

inline constexpr const char* kMusicPath = "music/belvamarch.ogg";

// Reads and opens the music, opens the sound device paused, queues the
// looping buffer and starts the refill thread. false when the file cannot be
// read or is not a decodable stream (the caller shows "Sound error."). A
// missing or refusing sound device is not an error: the show runs silent.
bool OpenMusicStream();

// Starts playback; the first half of the buffer (silence) plays first.
void ResumeMusicStream();
