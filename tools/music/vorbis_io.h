// Ogg Vorbis encoding (libvorbisenc) with a fixed stream serial number and fixed
// comments, so the same PCM always gives the same bytes; and decoding (libvorbisfile)
// for the level checks. Failures return false with a message; outputs are unchanged.
#pragma once

#include <string>
#include <vector>

#include "synth.h"

// Encodes stereo PCM (samples in [-1, 1]) at `rate` Hz with VBR `quality` (-0.1..1).
bool EncodeVorbis(const Stereo& pcm, int rate, float quality, std::vector<unsigned char>* bytes,
                  std::string* error);

// Decodes a two-channel Ogg Vorbis file held in memory.
bool DecodeVorbis(const std::vector<unsigned char>& bytes, Stereo* pcm, int* rate,
                  std::string* error);

// Whole-file helpers; errors name the path.
bool ReadFile(const std::string& path, std::vector<unsigned char>* bytes, std::string* error);
bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes,
               std::string* error);
