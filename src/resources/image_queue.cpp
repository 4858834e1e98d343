// Image decoding on worker threads. The workers and the main thread share
// the slots below under one mutex; pixels are handed over whole.
#include "resources/image_queue.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "resources/image_decoder.h"
#include "platform/whole_file.h"

namespace {
constexpr int kMaxImages = 64;
constexpr int kWorkers = 2;
constexpr int kLookahead = 4;  // images decoded but not yet taken, at most

struct Queue {
  std::mutex mutex;
  std::condition_variable changed;
  const char* const* paths = nullptr;
  int count = 0;
  int nextToDecode = 0;
  int nextToTake = 0;  // the loader's position
  bool done[kMaxImages] = {};
  DecodedImage images[kMaxImages] = {};
};
// Never destroyed: after a failed load the workers may still be waiting on
// it when the process exits, and a condition variable must not be torn down
// under its waiters.
Queue& queue = *new Queue;

DecodedImage Decode(const char* path) {
  DecodedImage image{};
  int32_t length = 0;
  uint8_t* file = ReadWholeFile(path, &length);
  if (!file) {
    image.status = ImageStatus::kFileError;
    return image;
  }
  image.pixels = DecodeImage(file, length, &image.width, &image.height, &image.components);
  delete[] file;
  if (!image.pixels) {
    image.status = ImageStatus::kDecodeError;
    image.failureReason = ImageFailureReason();  // thread-local in the decoder
    return image;
  }
  image.status = ImageStatus::kReady;
  return image;
}

void Work() {
  for (;;) {
    int index;
    {
      std::unique_lock lock(queue.mutex);
      queue.changed.wait(lock, [] {
        return queue.nextToDecode >= queue.count || queue.nextToDecode < queue.nextToTake + kLookahead;
      });
      if (queue.nextToDecode >= queue.count) return;
      index = queue.nextToDecode++;
    }
    DecodedImage image = Decode(queue.paths[index]);
    {
      std::lock_guard lock(queue.mutex);
      queue.images[index] = std::move(image);
      queue.done[index] = true;
    }
    queue.changed.notify_all();
  }
}
}  // namespace

void StartImageDecoding(const char* const* paths, int count) {
  queue.paths = paths;
  queue.count = count < kMaxImages ? count : kMaxImages;
  // The workers end by themselves once every image is decoded.
  for (int i = 0; i < kWorkers; ++i) std::thread(Work).detach();
}

const DecodedImage& WaitForDecodedImage(int index) {
  std::unique_lock lock(queue.mutex);
  if (index >= queue.nextToTake) {
    queue.nextToTake = index;
    queue.changed.notify_all();
  }
  queue.changed.wait(lock, [index] { return queue.done[index]; });
  return queue.images[index];
}

void ReleaseDecodedImage(int index) {
  std::lock_guard lock(queue.mutex);
  FreeImagePixels(queue.images[index].pixels);
  queue.images[index].pixels = nullptr;
  queue.images[index].failureReason.clear();
  // An image taken out of order never moves the loader's position back.
  if (index + 1 > queue.nextToTake) queue.nextToTake = index + 1;
  queue.changed.notify_all();
}
