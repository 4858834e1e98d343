// A video file being written: H.264 pictures and the soundtrack, encoded and
// muxed into a temporary file beside the target, which is renamed onto the
// target only once the file is complete. Created, fed and finished by one
// thread (the encoder thread); every failure comes back as one line of text
// and leaves nothing at the target.
#pragma once
#include <cstdint>
#include <string>

struct AVFrame;
struct VideoFile;  // opaque

enum class VideoContainer {
  kMp4,  // H.264 + AAC: plays in browsers and on video sites
  kMkv,  // H.264 + FLAC: the sound kept lossless, for archives
};

// The container a file name asks for, by its extension (.mp4, .mkv, any
// case). false for any other name; *container is then unchanged.
bool VideoContainerForPath(const std::string& path, VideoContainer* container);

// Writes frameCount stereo frames of the soundtrack to out (left, right).
using SoundtrackReader = void (*)(void* context, float* out, int32_t frameCount);

struct VideoFileOptions {
  std::string target;  // the finished file's path
  VideoContainer container = VideoContainer::kMp4;
  int32_t width = 0, height = 0;  // even, pixels
  int32_t fps = 60;               // pictures per second
  int32_t crf = 18;               // x264 constant rate factor, 0-51
  // The decoder buffer the stream keeps to (x264's VBV) and the level it
  // is labelled with, which admits both: see PlanVideoEncoding.
  int32_t levelIdc = 0;    // 41 for level 4.1
  int64_t maxBitRate = 0;  // bits/s into the buffer
  int64_t bufferBits = 0;
  bool share = false;         // the small-file settings (--share)
  int64_t fadeOutFrames = 0;  // the soundtrack's last frames fade to silence
  int64_t pictureCount = 0;   // the pictures that will be given, > 0
  uint32_t sampleRate = 44100;
  SoundtrackReader soundtrack = nullptr;
  void* soundtrackContext = nullptr;
};

// The bitrate cap --share keeps to, bits/s: 5 Mb/s at 1280 x 720 and 30
// pictures a second, 12 Mb/s at 1920 x 1080 and 60, and between and beyond
// them a power of the pixel rate through those two.
int64_t ShareBitRate(int32_t width, int32_t height, int32_t fps);

// Fills in the level and the decoder buffer for options' size, rate and
// mode (share or not). false with *error set (one line) when no H.264 level
// admits the size and rate; options is then unchanged.
bool PlanVideoEncoding(VideoFileOptions* options, std::string* error);

// Creates the temporary file beside options.target and opens both encoders.
// null on failure with *error set (no file is left behind). The soundtrack
// reader is called from whichever thread feeds the file.
VideoFile* CreateVideoFile(const VideoFileOptions& options, std::string* error);

// A picture the size of the file in the encoder's format (YUV 4:2:0, BT.709
// limited range), owned by the caller (av_frame_free). null when memory ran
// out.
AVFrame* AllocateVideoPicture(const VideoFile* file);

// Encodes the next picture (the caller's frame is not kept: it may be
// reused as soon as av_frame_make_writable says so) and the soundtrack up to
// the picture's end. false on a failed write or encode, *error set; the file
// must then be discarded.
bool WriteVideoPicture(VideoFile* file, AVFrame* picture, std::string* error);

// Drains the encoders, writes the rest of the soundtrack and the index,
// flushes the file to disk and renames it onto the target. Frees the file
// either way; on failure *error is set and the temporary file is removed.
bool FinishVideoFile(VideoFile* file, std::string* error);

// Stops without finishing: frees the file and removes the temporary file.
void DiscardVideoFile(VideoFile* file);

// The finished file's size in bytes, for the summary (0 if unknown).
int64_t VideoFileBytes(const std::string& path);
