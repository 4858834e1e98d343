// The soundtrack of a video export: the show's music through the show's own
// decoder and refill logic, opened with the same half buffer of silence the
// live stream plays first, so the first music frame lands at show time
// 16384 / rate. Used by one thread at a time (the encoder thread).
#pragma once
#include <cstdint>

#include "audio/music_refill.h"

struct VorbisDecoder;

struct Soundtrack {
  uint8_t* fileBytes;  // the decoder reads from these while it lives
  VorbisDecoder* decoder;
  uint32_t sampleRate;
  int64_t silenceLeft;  // frames of the opening half still to give
  int64_t musicFrames;  // the music's length: frames the decoder gives
  MusicRefillState refill;
};

// Opens the music file at path. false when it cannot be read, is not a
// decodable stream, or states a sample rate the live show refuses (the
// caller shows "Sound error."); *track is then left closed.
bool OpenSoundtrack(Soundtrack* track, const char* path);

// The show time in seconds at which the music runs out: the opening half
// of silence and the music's own length.
double SoundtrackMusicEnd(const Soundtrack* track);

// Writes the next frameCount stereo frames (left, right floats) to out;
// silence after the end of the music, as the live stream plays.
void ReadSoundtrack(Soundtrack* track, float* out, int32_t frameCount);

// Releases the decoder and the file bytes; safe on a closed track.
void CloseSoundtrack(Soundtrack* track);
