#include "engine/music/mp3_decoder.h"

#include <mpg123.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// The track's bytes as a seekable file for the decoder's own reads.
struct MemoryReader {
  const uint8_t* bytes;
  size_t size;
  size_t position;  // next byte to read, 0..size (a seek may go past size: reads there give 0 bytes)
  size_t furthest;  // end of the furthest read since last reset, 0..size
};

}  // namespace

struct Mp3Decoder {
  mpg123_handle* handle;
  MemoryReader reader;
  uint32_t channels;
  uint64_t totalFrames;    // from the scan
  uint64_t decodedFrames;  // handed out since the last rewind, 0..totalFrames
};

namespace {

constexpr size_t kId3v1Bytes = 128;  // the fixed tag a file may end with
constexpr int kMaxIdleReads = 64;    // successive reads without output before a track counts as broken

mpg123_ssize_t ReadMemory(void* io, void* buffer, size_t count) {
  auto* reader = static_cast<MemoryReader*>(io);
  const size_t start = std::min(reader->position, reader->size);
  const size_t bytes = std::min(count, reader->size - start);
  if (bytes > 0) std::memcpy(buffer, reader->bytes + start, bytes);
  reader->position = start + bytes;
  reader->furthest = std::max(reader->furthest, reader->position);
  return static_cast<mpg123_ssize_t>(bytes);
}

off_t SeekMemory(void* io, off_t offset, int whence) {
  auto* reader = static_cast<MemoryReader*>(io);
  off_t base = 0;
  if (whence == SEEK_CUR) {
    base = static_cast<off_t>(reader->position);
  } else if (whence == SEEK_END) {
    base = static_cast<off_t>(reader->size);
  } else if (whence != SEEK_SET) {
    return -1;
  }
  if (offset < -base) return -1;  // before the first byte
  reader->position = static_cast<size_t>(base + offset);
  return base + offset;
}

uint32_t ReadBe32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

// Bytes of the ID3v2 tag at p (header, body and footer), 0 when there is none.
size_t Id3v2TagBytes(const uint8_t* p, size_t available) {
  if (available < 10 || std::memcmp(p, "ID3", 3) != 0) return 0;
  const size_t body =
      (size_t{p[6] & 0x7Fu} << 21) | (size_t{p[7] & 0x7Fu} << 14) | (size_t{p[8] & 0x7Fu} << 7) | size_t{p[9] & 0x7Fu};
  return 10 + body + ((p[5] & 0x10) != 0 ? 10 : 0);
}

// Whether the first frame is an encoder's Xing or Info frame that states the
// number of frames. The scan must then find exactly that many: fewer means
// the file was cut short or a stretch of it was lost.
bool HasFrameCountTag(const uint8_t* bytes, size_t size) {
  size_t at = 0;
  for (size_t tag = Id3v2TagBytes(bytes, size); tag > 0 && at + tag < size;
       tag = Id3v2TagBytes(bytes + at, size - at)) {
    at += tag;
  }
  if (size - at < 4 + 32 + 8) return false;
  const uint8_t* header = bytes + at;
  if (header[0] != 0xFF || (header[1] & 0xE0) != 0xE0) return false;
  const int version = (header[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5, 1: reserved
  const int layer = (header[1] >> 1) & 3;    // 1: layer III
  if (layer != 1 || version == 1) return false;
  const bool mono = ((header[3] >> 6) & 3) == 3;
  const size_t sideInfo = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const uint8_t* tag = header + 4 + sideInfo;
  if (std::memcmp(tag, "Xing", 4) != 0 && std::memcmp(tag, "Info", 4) != 0) return false;
  return (ReadBe32(tag + 4) & 1u) != 0;  // flag bit 0: the frame count follows
}

bool LibraryReady() {
  static const bool ready = mpg123_init() == MPG123_OK;  // a no-op in current versions, required in old ones
  return ready;
}

Mp3OpenStatus Refuse(Mp3Decoder* decoder, Mp3OpenStatus status) {
  CloseMp3Decoder(decoder);
  return status;
}

}  // namespace

Mp3OpenStatus OpenMp3Decoder(const uint8_t* bytes, size_t size, Mp3Decoder** out, Mp3Format* format) {
  *out = nullptr;
  if (!LibraryReady()) return Mp3OpenStatus::kOutOfMemory;
  int error = MPG123_OK;
  mpg123_handle* handle = mpg123_new(nullptr, &error);
  if (handle == nullptr) return Mp3OpenStatus::kOutOfMemory;
  auto* decoder = new (std::nothrow) Mp3Decoder{handle, {bytes, size, 0, 0}, 0, 0, 0};
  if (decoder == nullptr) {
    mpg123_delete(handle);
    return Mp3OpenStatus::kOutOfMemory;
  }

  // Quiet: failures are reported by result, not printed. Gapless: the encoder's
  // delay and padding are cut, so the length is the music's own. No stitched
  // streams: a header that changes the stream's kind mid-way ends the track.
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_NO_FRANKENSTEIN, 0.0);
  // A seek decodes this many frames before its target, output dropped, so
  // that it gives the samples of a straight decode: a layer III frame's data
  // may begin up to 511 bytes back (255 in MPEG-2), which is 5 of the
  // smallest MPEG-1 frames (104 bytes at 32 kbit/s) or 10 of MPEG-2's (26
  // bytes at 8 kbit/s), and the filter bank overlaps the frame before.
  mpg123_param(handle, MPG123_PREFRAMES, 11, 0.0);
  mpg123_format_none(handle);
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) {
    mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  }
  if (mpg123_replace_reader_handle(handle, ReadMemory, SeekMemory, nullptr) != MPG123_OK ||
      mpg123_set_filesize(handle, static_cast<off_t>(size)) != MPG123_OK ||
      mpg123_open_handle(handle, &decoder->reader) != MPG123_OK) {
    return Refuse(decoder, Mp3OpenStatus::kNotMp3);
  }

  long rate = 0;
  int channels = 0;
  int encoding = 0;
  const int first = mpg123_getformat(handle, &rate, &channels, &encoding);
  if (first == MPG123_DONE) return Refuse(decoder, Mp3OpenStatus::kNotMp3);  // not one frame in the data
  if (first != MPG123_OK) return Refuse(decoder, Mp3OpenStatus::kDamaged);
  if (rate < 8000 || rate > 48000 || channels < 1 || channels > 2 || encoding != MPG123_ENC_SIGNED_16) {
    return Refuse(decoder, Mp3OpenStatus::kNotMp3);
  }
  // Pin the format: a later frame asking for another one is an error, not a switch.
  mpg123_format_none(handle);
  mpg123_format(handle, rate, channels, MPG123_ENC_SIGNED_16);

  const off_t statedFrames = mpg123_framelength(handle);  // the tag's count, or a guess from the size
  decoder->reader.furthest = 0;
  if (mpg123_scan(handle) != MPG123_OK) return Refuse(decoder, Mp3OpenStatus::kDamaged);
  const off_t scannedFrames = mpg123_framelength(handle);
  const off_t samples = mpg123_length(handle);
  if (scannedFrames < 1 || samples < 1) return Refuse(decoder, Mp3OpenStatus::kDamaged);
  if (HasFrameCountTag(bytes, size) && scannedFrames != statedFrames) {
    return Refuse(decoder, Mp3OpenStatus::kDamaged);
  }
  // A scan stops quietly where the frames break off for longer than the
  // decoder's resync reach; the frames must carry on to the end of the data
  // (an ID3v1 tag may follow them).
  if (decoder->reader.furthest + kId3v1Bytes < size) return Refuse(decoder, Mp3OpenStatus::kDamaged);
  if (mpg123_seek(handle, 0, SEEK_SET) != 0) return Refuse(decoder, Mp3OpenStatus::kDamaged);

  decoder->channels = static_cast<uint32_t>(channels);
  decoder->totalFrames = static_cast<uint64_t>(samples);
  format->rate = static_cast<uint32_t>(rate);
  format->channels = decoder->channels;
  format->totalFrames = decoder->totalFrames;
  *out = decoder;
  return Mp3OpenStatus::kOk;
}

size_t DecodeMp3Frames(Mp3Decoder* decoder, int16_t* out, size_t frames, bool* finished) {
  *finished = false;
  const uint64_t left = decoder->totalFrames - decoder->decodedFrames;
  if (frames >= left) frames = static_cast<size_t>(left);
  const size_t frameBytes = decoder->channels * sizeof(int16_t);
  const size_t wanted = frames * frameBytes;
  auto* target = reinterpret_cast<unsigned char*>(out);
  size_t done = 0;
  int idleReads = 0;
  while (done < wanted) {
    size_t got = 0;
    const int result = mpg123_read(decoder->handle, target + done, wanted - done, &got);
    done += got;
    if (result == MPG123_DONE || (result != MPG123_OK && result != MPG123_NEW_FORMAT)) {
      *finished = true;  // the end, or a frame that cannot be decoded: the track ends here
      break;
    }
    idleReads = got > 0 ? 0 : idleReads + 1;
    if (idleReads > kMaxIdleReads) {
      *finished = true;
      break;
    }
  }
  const size_t written = done / frameBytes;
  decoder->decodedFrames += written;
  if (decoder->decodedFrames >= decoder->totalFrames) *finished = true;
  return written;
}

bool SeekMp3Decoder(Mp3Decoder* decoder, uint64_t frame) {
  if (frame > decoder->totalFrames) return false;
  // After the scan the decoder knows every frame's offset, and with gapless
  // decoding it counts samples without the encoder's delay: the seek is
  // sample-exact (the frames decoded first are set at open).
  if (mpg123_seek(decoder->handle, static_cast<off_t>(frame), SEEK_SET) != static_cast<off_t>(frame)) return false;
  decoder->decodedFrames = frame;
  return true;
}

void CloseMp3Decoder(Mp3Decoder* decoder) {
  if (decoder == nullptr) return;
  mpg123_delete(decoder->handle);  // closes the stream too
  delete decoder;
}
