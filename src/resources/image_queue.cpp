// Image reading and decoding on worker threads. The workers and the main
// thread share the slots below under one mutex; file bytes and pixels are
// handed over whole. One worker reads the files and checks their headers
// before it decodes, for the start-up check; the other decodes the pictures
// the loader will want next as soon as their files are read, for the first
// frame, and reads when there is nothing to decode.
#include "resources/image_queue.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/whole_file.h"
#include "resources/image_decoder.h"

namespace {
constexpr int kMaxImages = 64;
constexpr int kWorkers = 2;
constexpr int kLookahead = 4;  // images decoded but not yet taken, at most

struct Slot {
  uint8_t* file = nullptr;  // the file's bytes, from the read until the decode
  int32_t length = 0;
  bool headerDone = false;
  ImageHeader header{};
  bool done = false;
  DecodedImage image{};
};

struct Queue {
  std::mutex mutex;
  std::condition_variable changed;
  const char* const* paths = nullptr;
  int count = 0;
  int nextToRead = 0;
  int nextToDecode = 0;
  int nextToTake = 0;  // the loader's position
  Slot slots[kMaxImages];
};
// Never destroyed: after a failed load the workers may still be waiting on
// it when the process exits, and a condition variable must not be torn down
// under its waiters.
Queue& queue = *new Queue;

// Reads the file and checks its header; the bytes stay in the slot for the
// decode when the header is sound.
void ReadAndCheck(const char* path, Slot* slot) {
  ImageHeader& header = slot->header;
  header = ImageHeader{};
  slot->file = ReadWholeFile(path, &slot->length);
  if (!slot->file) {
    header.status = ImageStatus::kFileError;
    return;
  }
  bool sound =
      ReadImageHeader(slot->file, slot->length, &header.width, &header.height, &header.components);
  if (sound && !CheckImageData(slot->file, slot->length)) {
    // Damaged picture data: decoded now, so that it is refused when the file
    // is read rather than when the picture is wanted, in the decoder's own
    // words. Should the decoder accept it after all (damage in a chunk it
    // never reaches), the picture plays as it would have.
    int width = 0, height = 0, components = 0;
    uint8_t* pixels = DecodeImage(slot->file, slot->length, &width, &height, &components);
    sound = pixels != nullptr;
    FreeImagePixels(pixels);
  }
  if (!sound) {
    header.status = ImageStatus::kDecodeError;
    header.failureReason = ImageFailureReason();  // thread-local in the decoder
    delete[] slot->file;
    slot->file = nullptr;
    return;
  }
  header.status = ImageStatus::kReady;
}

// Decodes the bytes the read kept, or carries the header's failure over.
DecodedImage Decode(uint8_t* file, int32_t length, const ImageHeader& header) {
  DecodedImage image{};
  if (header.status != ImageStatus::kReady) {
    image.status = header.status;
    image.failureReason = header.failureReason;
    return image;
  }
  image.pixels = DecodeImage(file, length, &image.width, &image.height, &image.components);
  delete[] file;
  if (!image.pixels) {
    image.status = ImageStatus::kDecodeError;
    image.failureReason = ImageFailureReason();
    return image;
  }
  image.status = ImageStatus::kReady;
  return image;
}

bool MayDecode() {
  const int next = queue.nextToDecode;
  return next < queue.count && next < queue.nextToTake + kLookahead && queue.slots[next].headerDone;
}

void Work(bool decodesFirst) {
  for (;;) {
    std::unique_lock lock(queue.mutex);
    queue.changed.wait(lock, [] {
      return queue.nextToRead < queue.count || queue.nextToDecode >= queue.count || MayDecode();
    });
    const bool read = queue.nextToRead < queue.count && !(decodesFirst && MayDecode());
    if (read) {
      const int index = queue.nextToRead++;
      lock.unlock();
      Slot scratch;
      ReadAndCheck(queue.paths[index], &scratch);
      lock.lock();
      Slot& slot = queue.slots[index];
      slot.file = scratch.file;
      slot.length = scratch.length;
      slot.header = std::move(scratch.header);
      slot.headerDone = true;
    } else if (MayDecode()) {
      const int index = queue.nextToDecode++;
      Slot& slot = queue.slots[index];
      uint8_t* file = slot.file;
      slot.file = nullptr;
      const int32_t length = slot.length;
      const ImageHeader& header = slot.header;  // written once, before the decode
      lock.unlock();
      DecodedImage image = Decode(file, length, header);
      lock.lock();
      slot.image = std::move(image);
      slot.done = true;
    } else {
      return;  // every file read and every picture decoded
    }
    lock.unlock();
    queue.changed.notify_all();
  }
}
}  // namespace

void StartImageDecoding(const char* const* paths, int count) {
  queue.paths = paths;
  queue.count = count < kMaxImages ? count : kMaxImages;
  // The workers end by themselves once every image is decoded.
  for (int i = 0; i < kWorkers; ++i) std::thread(Work, i > 0).detach();
}

const ImageHeader& WaitForImageHeader(int index) {
  std::unique_lock lock(queue.mutex);
  queue.changed.wait(lock, [index] { return queue.slots[index].headerDone; });
  return queue.slots[index].header;
}

const DecodedImage& WaitForDecodedImage(int index) {
  std::unique_lock lock(queue.mutex);
  if (index >= queue.nextToTake) {
    queue.nextToTake = index;
    queue.changed.notify_all();
  }
  queue.changed.wait(lock, [index] { return queue.slots[index].done; });
  return queue.slots[index].image;
}

void ReleaseDecodedImage(int index) {
  std::lock_guard lock(queue.mutex);
  DecodedImage& image = queue.slots[index].image;
  FreeImagePixels(image.pixels);
  image.pixels = nullptr;
  image.failureReason.clear();
  // An image taken out of order never moves the loader's position back.
  if (index + 1 > queue.nextToTake) queue.nextToTake = index + 1;
  queue.changed.notify_all();
}
