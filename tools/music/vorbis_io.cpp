// Ogg Vorbis encode/decode helpers (see vorbis_io.h).
#include "vorbis_io.h"

#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Any fixed value will do; a fixed serial is what makes the output reproducible.
constexpr int kStreamSerial = 0x4E495452;  // "NITR"

void AppendPage(const ogg_page& page, std::vector<unsigned char>* out) {
  out->insert(out->end(), page.header, page.header + page.header_len);
  out->insert(out->end(), page.body, page.body + page.body_len);
}

struct MemoryReader {
  const std::vector<unsigned char>* bytes;
  size_t pos;
};

size_t MemoryRead(void* dst, size_t size, size_t count, void* source) {
  MemoryReader* reader = static_cast<MemoryReader*>(source);
  size_t wanted = size * count;
  size_t available = reader->bytes->size() - reader->pos;
  size_t n = std::min(wanted, available);
  std::memcpy(dst, reader->bytes->data() + reader->pos, n);
  reader->pos += n;
  return size ? n / size : 0;
}

int MemorySeek(void* source, ogg_int64_t offset, int whence) {
  MemoryReader* reader = static_cast<MemoryReader*>(source);
  ogg_int64_t base = whence == SEEK_SET   ? 0
                     : whence == SEEK_CUR ? ogg_int64_t(reader->pos)
                                          : ogg_int64_t(reader->bytes->size());
  ogg_int64_t target = base + offset;
  if (target < 0 || target > ogg_int64_t(reader->bytes->size())) return -1;
  reader->pos = size_t(target);
  return 0;
}

long MemoryTell(void* source) { return long(static_cast<MemoryReader*>(source)->pos); }

// Analyses every block the encoder has ready and pages out its packets.
// true once the last page, the end of the stream, is out.
bool PageOutBlocks(vorbis_dsp_state* dsp, vorbis_block* block, ogg_stream_state* stream,
                   std::vector<unsigned char>* out) {
  bool finished = false;
  while (vorbis_analysis_blockout(dsp, block) == 1) {
    vorbis_analysis(block, nullptr);
    vorbis_bitrate_addblock(block);
    ogg_packet packet;
    while (vorbis_bitrate_flushpacket(dsp, &packet)) {
      ogg_stream_packetin(stream, &packet);
      ogg_page page;
      while (ogg_stream_pageout(stream, &page)) {
        AppendPage(page, out);
        if (ogg_page_eos(&page)) finished = true;
      }
    }
  }
  return finished;
}

// Feeds the samples in chunks, then the end of the stream, paging out as
// the encoder goes.
void EncodeSamples(const Stereo& pcm, vorbis_dsp_state* dsp, vorbis_block* block,
                   ogg_stream_state* stream, std::vector<unsigned char>* out) {
  const size_t chunk = 1024;
  size_t done = 0;
  bool finished = false;
  while (!finished) {
    size_t n = std::min(chunk, pcm.left.size() - done);
    if (n == 0) {
      vorbis_analysis_wrote(dsp, 0);  // end of stream
    } else {
      float** buffer = vorbis_analysis_buffer(dsp, int(n));
      std::copy(pcm.left.begin() + done, pcm.left.begin() + done + n, buffer[0]);
      std::copy(pcm.right.begin() + done, pcm.right.begin() + done + n, buffer[1]);
      vorbis_analysis_wrote(dsp, int(n));
      done += n;
    }
    finished = PageOutBlocks(dsp, block, stream, out);
  }
}

}  // namespace

bool EncodeVorbis(const Stereo& pcm, int rate, float quality, std::vector<unsigned char>* bytes,
                  std::string* error) {
  if (pcm.left.size() != pcm.right.size()) {
    *error = "channels differ in length";
    return false;
  }
  vorbis_info info;
  vorbis_info_init(&info);
  if (vorbis_encode_init_vbr(&info, 2, rate, quality) != 0) {
    vorbis_info_clear(&info);
    *error = "libvorbisenc refused " + std::to_string(rate) + " Hz stereo at this quality";
    return false;
  }
  vorbis_comment comment;
  vorbis_comment_init(&comment);
  vorbis_comment_add_tag(&comment, "TITLE", "Belva March");
  vorbis_comment_add_tag(&comment, "ARTIST", "The Pit Orchestra");
  vorbis_comment_add_tag(&comment, "ALBUM", "NITRATE");
  vorbis_dsp_state dsp;
  vorbis_block block;
  vorbis_analysis_init(&dsp, &info);
  vorbis_block_init(&dsp, &block);
  ogg_stream_state stream;
  ogg_stream_init(&stream, kStreamSerial);

  std::vector<unsigned char> out;
  ogg_packet header, headerComment, headerCode;
  vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
  ogg_stream_packetin(&stream, &header);
  ogg_stream_packetin(&stream, &headerComment);
  ogg_stream_packetin(&stream, &headerCode);
  ogg_page page;
  // Audio starts on a fresh page, as players expect.
  while (ogg_stream_flush(&stream, &page)) AppendPage(page, &out);

  EncodeSamples(pcm, &dsp, &block, &stream, &out);
  ogg_stream_clear(&stream);
  vorbis_block_clear(&block);
  vorbis_dsp_clear(&dsp);
  vorbis_comment_clear(&comment);
  vorbis_info_clear(&info);
  *bytes = std::move(out);
  return true;
}

bool DecodeVorbis(const std::vector<unsigned char>& bytes, Stereo* pcm, int* rate,
                  std::string* error) {
  MemoryReader reader = {&bytes, 0};
  ov_callbacks callbacks = {MemoryRead, MemorySeek, nullptr, MemoryTell};
  OggVorbis_File file;
  if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0) {
    *error = "not an Ogg Vorbis stream";
    return false;
  }
  vorbis_info* info = ov_info(&file, -1);
  if (!info || info->channels != 2) {
    ov_clear(&file);
    *error = "expected a stereo stream";
    return false;
  }
  Stereo out;
  int section = 0;
  for (;;) {
    float** channels = nullptr;
    long n = ov_read_float(&file, &channels, 4096, &section);
    if (n == 0) break;
    if (n < 0) {
      ov_clear(&file);
      *error = "corrupt audio data";
      return false;
    }
    out.left.insert(out.left.end(), channels[0], channels[0] + n);
    out.right.insert(out.right.end(), channels[1], channels[1] + n);
  }
  *rate = int(info->rate);
  ov_clear(&file);
  *pcm = std::move(out);
  return true;
}

bool ReadFile(const std::string& path, std::vector<unsigned char>* bytes, std::string* error) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<unsigned char> out;
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    out.insert(out.end(), buffer, buffer + n);
  bool failed = std::ferror(file);
  std::fclose(file);
  if (failed) {
    *error = "cannot read " + path;
    return false;
  }
  *bytes = std::move(out);
  return true;
}

bool WriteFile(const std::string& path, const std::vector<unsigned char>& bytes,
               std::string* error) {
  // Write beside the target and rename, so a failed run never leaves half a file.
  std::string temporary = path + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    *error = "cannot create " + temporary + ": " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (std::fclose(file) == 0) && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    *error = "cannot write " + path;
    return false;
  }
  return true;
}
