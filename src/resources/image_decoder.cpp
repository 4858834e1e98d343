// The one translation unit that sees libpng and libjpeg-turbo. Both report
// errors by longjmp, so each decode keeps its state in plain locals that
// the error path can release. Damage the libraries only warn about (a
// picture cut short, corrupt entropy data) is a failure here: a damaged
// picture is refused, never shown half grey. Any thread.
#include "resources/image_decoder.h"

#include <cctype>
#include <csetjmp>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace {
thread_local char failureReason[JMSG_LENGTH_MAX + 64] = "unknown image error";

void SetReason(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(failureReason, sizeof failureReason, format, arguments);
  va_end(arguments);
}

// false with the reason set when the header's size is beyond what the show
// can hold or upload.
bool SizeAcceptable(uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) {
    SetReason("image has no pixels");
    return false;
  }
  if (width > static_cast<uint32_t>(kMaxImageDimension) ||
      height > static_cast<uint32_t>(kMaxImageDimension) ||
      static_cast<int64_t>(width) * height > kMaxImagePixels) {
    SetReason("image too large: %u x %u pixels (at most %d on a side and %lld million in all)",
              width, height, kMaxImageDimension, static_cast<long long>(kMaxImagePixels / 1000000));
    return false;
  }
  return true;
}

struct Decoded {
  uint32_t width, height;
  int components;
  uint8_t* pixels;  // malloc'ed; null when only the header was read
};

// ---- PNG ----------------------------------------------------------------

struct PngSource {
  const uint8_t* bytes;
  size_t length;
  size_t position;
};

void PngReadBytes(png_structp png, png_bytep out, size_t count) {
  PngSource* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (count > source->length - source->position) png_error(png, "PNG file ends early");
  std::memcpy(out, source->bytes + source->position, count);
  source->position += count;
}

void PngFail(png_structp png, png_const_charp message) {
  SetReason("%s", message && *message ? message : "damaged PNG file");
  png_longjmp(png, 1);
}

// Damage to ancillary chunks: the picture itself is whole.
void PngWarn(png_structp, png_const_charp) {}

bool DecodePng(const uint8_t* bytes, size_t length, bool pixelsToo, Decoded* out) {
  PngSource source{bytes, length, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFail, PngWarn);
  if (!png) {
    SetReason("out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  uint8_t* volatile pixels = nullptr;
  png_bytep* volatile rows = nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    if (!info) SetReason("out of memory");
    std::free(pixels);
    std::free(rows);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, PngReadBytes);
  png_read_info(png, info);
  const uint32_t width = png_get_image_width(png, info);
  const uint32_t height = png_get_image_height(png, info);
  if (!SizeAcceptable(width, height)) png_longjmp(png, 1);
  // 8 bits per channel, palettes and low bit depths expanded, a
  // transparent colour as alpha; no gamma conversion.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int components = png_get_channels(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  if (components < 1 || components > 4 || rowBytes != size_t{width} * components) {
    SetReason("unsupported PNG layout");
    png_longjmp(png, 1);
  }
  if (pixelsToo) {
    pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height));
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!pixels || !rows) {
      SetReason("out of memory");
      png_longjmp(png, 1);
    }
    for (uint32_t y = 0; y < height; ++y) rows[y] = pixels + rowBytes * y;
    png_read_image(png, rows);
  }
  std::free(rows);
  png_destroy_read_struct(&png, &info, nullptr);
  *out = {width, height, components, pixels};
  return true;
}

// ---- JPEG ---------------------------------------------------------------

// A progressive file may hold any number of scans, each a pass over the
// whole picture: real files have about ten.
constexpr int kMaxJpegScans = 256;
// The library's own working memory (coefficient buffers of progressive
// files); beyond it the decode fails rather than grows.
constexpr long kMaxJpegWorkingBytes = 512L << 20;

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr info) {
  char text[JMSG_LENGTH_MAX] = "";
  (*info->err->format_message)(info, text);
  SetReason("%s", *text ? text : "damaged JPEG file");
  std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void JpegMessage(j_common_ptr info, int level) {
  if (level < 0) JpegFail(info);  // corrupt data: refused, not shown grey
}

void JpegProgress(j_common_ptr info) {
  const j_decompress_ptr decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMaxJpegScans) {
    SetReason("JPEG file has more than %d scans", kMaxJpegScans);
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
  }
}

// Inverted CMYK as Adobe writes it, to RGB: each channel times black.
void CmykRowToRgb(uint8_t* row, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x) {
    const uint8_t* in = row + 4 * x;
    const unsigned k = in[3];
    const uint8_t r = static_cast<uint8_t>((in[0] * k + 127) / 255);
    const uint8_t g = static_cast<uint8_t>((in[1] * k + 127) / 255);
    const uint8_t b = static_cast<uint8_t>((in[2] * k + 127) / 255);
    row[3 * x] = r, row[3 * x + 1] = g, row[3 * x + 2] = b;
  }
}

// How far a JPEG is decoded: its header, its picture data without the
// pixels (the entropy-coded coefficients, where damage shows), or all of it.
enum class JpegDepth { kHeader, kData, kPixels };

// What the library is to deliver for the file's components: grey, RGB, or
// CMYK for the caller to turn into RGB. false, with the reason set, for any
// other count.
bool ChooseJpegColourSpace(jpeg_decompress_struct* info) {
  switch (info->num_components) {
    case 1: info->out_color_space = JCS_GRAYSCALE; return true;
    case 3: info->out_color_space = JCS_RGB; return true;
    case 4: info->out_color_space = JCS_CMYK; return true;  // YCCK becomes CMYK in the library
    default: SetReason("JPEG with %d components", info->num_components); return false;
  }
}

bool DecodeJpeg(const uint8_t* bytes, size_t length, JpegDepth depth, Decoded* out) {
  jpeg_decompress_struct info{};
  JpegErrors errors;
  jpeg_progress_mgr progress{};
  uint8_t* volatile pixels = nullptr;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegFail;
  errors.manager.emit_message = JpegMessage;
  if (setjmp(errors.jump)) {
    std::free(pixels);
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  info.mem->max_memory_to_use = kMaxJpegWorkingBytes;
  progress.progress_monitor = JpegProgress;
  info.progress = &progress;
  jpeg_mem_src(&info, bytes, static_cast<unsigned long>(length));
  jpeg_read_header(&info, TRUE);
  if (!SizeAcceptable(info.image_width, info.image_height) || !ChooseJpegColourSpace(&info)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const bool cmyk = info.num_components == 4;
  const int components = info.num_components == 1 ? 1 : 3;
  const uint32_t width = info.image_width, height = info.image_height;
  if (depth == JpegDepth::kData) {
    // Every scan's data through the entropy decoder, none of it to pixels:
    // a fraction of a whole decode, and the warnings of corrupt data come
    // from here.
    jpeg_read_coefficients(&info);
    jpeg_abort_decompress(&info);
  } else if (depth == JpegDepth::kPixels) {
    jpeg_start_decompress(&info);
    const size_t rowBytes = size_t{width} * components;
    // CMYK rows arrive four bytes a pixel and shrink in place to three, so
    // the buffer has room for the last row as the library writes it.
    pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height + (cmyk ? width : 0)));
    if (!pixels) {
      SetReason("out of memory");
      jpeg_destroy_decompress(&info);
      return false;
    }
    while (info.output_scanline < height) {
      JSAMPROW row = pixels + rowBytes * info.output_scanline;
      if (jpeg_read_scanlines(&info, &row, 1) != 1) {
        SetReason("JPEG file ends early");
        std::longjmp(errors.jump, 1);
      }
      if (cmyk) CmykRowToRgb(row, width);
    }
    // The picture is whole: what follows it is of no interest.
    jpeg_abort_decompress(&info);
  }
  jpeg_destroy_decompress(&info);
  *out = {width, height, components, pixels};
  return true;
}

// ---- Sizes from the first bytes --------------------------------------------
// The libraries read on past the size to the first pixel data before they
// tell it; these find it where the formats put it, so that an oversized
// picture is refused with its size even when nothing follows its header.

uint32_t BigEndian(const uint8_t* bytes, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

// The IHDR chunk always comes first, right after the signature.
bool PngSizeAcceptable(const uint8_t* bytes, size_t length) {
  if (length < 24 || std::memcmp(bytes + 12, "IHDR", 4) != 0) return true;  // the library says why
  return SizeAcceptable(BigEndian(bytes + 16, 4), BigEndian(bytes + 20, 4));
}

// Walks the marker segments up to the first start-of-frame.
bool JpegSizeAcceptable(const uint8_t* bytes, size_t length) {
  size_t at = 2;
  while (at + 4 <= length && bytes[at] == 0xff) {
    const uint8_t marker = bytes[at + 1];
    if (marker == 0xff) {  // fill byte
      ++at;
      continue;
    }
    const size_t segment = BigEndian(bytes + at + 2, 2);
    const bool startOfFrame =
        marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
    if (startOfFrame) {
      if (at + 9 > length) return true;
      return SizeAcceptable(BigEndian(bytes + at + 7, 2), BigEndian(bytes + at + 5, 2));
    }
    if (marker == 0xda || segment < 2) return true;  // scan data, or damage: the library says why
    at += 2 + segment;
  }
  return true;
}

// A file cut short is the commonest damage. These walks find it without
// decoding anything, so that the header check at start-up refuses it.

// The chunks, by their lengths, reach IEND inside the file.
bool PngReachesItsEnd(const uint8_t* bytes, size_t length) {
  size_t at = 8;
  while (at + 8 <= length) {
    const size_t chunk = BigEndian(bytes + at, 4);
    if (std::memcmp(bytes + at + 4, "IEND", 4) == 0) return true;
    if (chunk > length - at - 8 || length - at - 8 - chunk < 4) break;
    at += 8 + chunk + 4;  // length, type, data, CRC
  }
  SetReason("PNG file ends early");
  return false;
}

// Every critical chunk before IEND (IHDR, PLTE, IDAT: four letters, the
// first upper-case) carries the checksum of its type and data. libpng
// refuses a wrong one with these words, but only when the decode reaches
// the chunk. Ancillary chunks and chunk types that are not letters are left
// to libpng, which warns about the first and says why it refuses the second.
// Call after PngReachesItsEnd has accepted the walk.
bool PngChecksumsMatch(const uint8_t* bytes, size_t length) {
  size_t at = 8;
  while (at + 12 <= length) {
    const size_t chunk = BigEndian(bytes + at, 4);
    const uint8_t* type = bytes + at + 4;
    if (std::memcmp(type, "IEND", 4) == 0 || chunk > length - at - 12) break;
    const bool letters = std::isalpha(type[0]) && std::isalpha(type[1]) && std::isalpha(type[2]) &&
                         std::isalpha(type[3]);
    if (letters && (type[0] & 0x20) == 0 &&
        crc32(crc32(0L, Z_NULL, 0), type, static_cast<uInt>(4 + chunk)) !=
            BigEndian(type + 4 + chunk, 4)) {
      SetReason("%.4s: CRC error", reinterpret_cast<const char*>(type));
      return false;
    }
    at += 8 + chunk + 4;
  }
  return true;
}

// An end-of-image marker follows the first scan; inside entropy-coded data
// a 0xff byte is always followed by 0x00 or a restart marker, so the pair
// cannot appear there by chance.
bool JpegReachesItsEnd(const uint8_t* bytes, size_t length) {
  static const uint8_t kStartOfScan[2] = {0xff, 0xda}, kEndOfImage[2] = {0xff, 0xd9};
  const void* scan = memmem(bytes, length, kStartOfScan, 2);
  if (scan) {
    const size_t from = static_cast<const uint8_t*>(scan) - bytes;
    if (memmem(bytes + from, length - from, kEndOfImage, 2)) return true;
  }
  SetReason("Premature end of JPEG file");
  return false;
}

bool Decode(const uint8_t* bytes, int32_t length, bool pixelsToo, Decoded* out) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  const size_t size = bytes && length > 0 ? static_cast<size_t>(length) : 0;
  if (size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0) {
    return PngSizeAcceptable(bytes, size) && PngReachesItsEnd(bytes, size) &&
           DecodePng(bytes, size, pixelsToo, out);
  }
  if (size >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff) {
    return JpegSizeAcceptable(bytes, size) && JpegReachesItsEnd(bytes, size) &&
           DecodeJpeg(bytes, size, pixelsToo ? JpegDepth::kPixels : JpegDepth::kHeader, out);
  }
  SetReason("unknown image type");
  return false;
}
}  // namespace

uint8_t* DecodeImage(const uint8_t* bytes, int32_t length, int* width, int* height,
                     int* components) {
  Decoded decoded{};
  if (!Decode(bytes, length, true, &decoded)) return nullptr;
  *width = static_cast<int>(decoded.width);
  *height = static_cast<int>(decoded.height);
  *components = decoded.components;
  return decoded.pixels;
}

bool ReadImageHeader(const uint8_t* bytes, int32_t length, int* width, int* height,
                     int* components) {
  Decoded decoded{};
  if (!Decode(bytes, length, false, &decoded)) return false;
  *width = static_cast<int>(decoded.width);
  *height = static_cast<int>(decoded.height);
  *components = decoded.components;
  return true;
}

bool CheckImageData(const uint8_t* bytes, int32_t length) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  const size_t size = bytes && length > 0 ? static_cast<size_t>(length) : 0;
  if (size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0) {
    return PngReachesItsEnd(bytes, size) && PngChecksumsMatch(bytes, size);
  }
  if (size >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff) {
    Decoded unused{};
    return DecodeJpeg(bytes, size, JpegDepth::kData, &unused);
  }
  return true;
}

const char* ImageFailureReason() { return failureReason; }

void FreeImagePixels(uint8_t* pixels) { std::free(pixels); }
