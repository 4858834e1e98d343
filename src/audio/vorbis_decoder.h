// Our narrow window onto the Ogg Vorbis decoder (Debian's libvorbisfile), so
// that only vorbis_decoder.cpp sees the library. Decoding is from memory only.
// A decoder is used by one thread at a time.
#pragma once
#include <cstdint>

struct VorbisDecoder;  // opaque

// Opens a decoder on the whole file image bytes[0, length). The bytes are not
// copied and must outlive the decoder. Returns null when the bytes are not a
// decodable Ogg Vorbis stream or memory runs out.
VorbisDecoder* OpenVorbisDecoder(const uint8_t* bytes, int32_t length);

// The stream's sample rate in Hz and channel count, as its header states them.
void VorbisStreamInfo(VorbisDecoder* decoder, uint32_t* sampleRate, int32_t* channels);

// Decodes the next frame. Returns its samples per channel: 0 at the end of the
// stream or on a damaged packet (the next call tries the following packet).
// On a non-zero result *channels is the channel count and *channelData points
// at one float array per channel, owned by the decoder and valid until the
// next call; on 0 both are left unchanged.
int32_t DecodeVorbisFrame(VorbisDecoder* decoder, int32_t* channels, float*** channelData);

// Releases the decoder (not the bytes).
void CloseVorbisDecoder(VorbisDecoder* decoder);
