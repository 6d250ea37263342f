#include "tools/music/mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>

#include "tools/music/dsp.h"

namespace music {

namespace {

// Frames handed to the encoder per call.
constexpr int kChunkFrames = 8192;

lame_global_flags* Lame(void* p) { return static_cast<lame_global_flags*>(p); }

}  // namespace

Mp3Encoder::~Mp3Encoder() {
  if (lame_ != nullptr) lame_close(Lame(lame_));
}

bool Mp3Encoder::Open(int bitrateKbps, std::string& error) {
  static const int kRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  if (std::find(std::begin(kRates), std::end(kRates), bitrateKbps) == std::end(kRates)) {
    error = "bit rate " + std::to_string(bitrateKbps) + " kbit/s is not an MPEG-1 layer III rate";
    return false;
  }
  if (lame_ != nullptr) {
    error = "encoder already open";
    return false;
  }
  lame_global_flags* gf = lame_init();
  if (gf == nullptr) {
    error = "lame_init failed";
    return false;
  }
  lame_ = gf;
  lame_set_in_samplerate(gf, kSampleRate);
  lame_set_out_samplerate(gf, kSampleRate);
  lame_set_num_channels(gf, 2);
  lame_set_mode(gf, JOINT_STEREO);
  lame_set_VBR(gf, vbr_off);
  lame_set_brate(gf, bitrateKbps);
  lame_set_quality(gf, 2);  // 0 best .. 9 fastest; 2 is near-best at a fraction of the time
  lame_set_bWriteVbrTag(gf, 1);
  lame_set_write_id3tag_automatic(gf, 0);
  if (lame_init_params(gf) < 0) {
    error = "lame_init_params rejected the settings";
    return false;
  }
  stream_.clear();
  return true;
}

bool Mp3Encoder::Encode(const float* interleaved, int64_t frames, std::string& error) {
  if (lame_ == nullptr) {
    error = "encoder not open";
    return false;
  }
  left_.resize(kChunkFrames);
  right_.resize(kChunkFrames);
  std::vector<uint8_t> buffer(static_cast<size_t>(kChunkFrames * 5 / 4 + 7200));
  while (frames > 0) {
    const int n = static_cast<int>(std::min<int64_t>(frames, kChunkFrames));
    for (int i = 0; i < n; ++i) {
      left_[i] = interleaved[2 * i];
      right_[i] = interleaved[2 * i + 1];
    }
    const int written = lame_encode_buffer_ieee_float(Lame(lame_), left_.data(), right_.data(), n,
                                                      buffer.data(), static_cast<int>(buffer.size()));
    if (written < 0) {
      error = "lame_encode_buffer_ieee_float failed (" + std::to_string(written) + ")";
      return false;
    }
    stream_.insert(stream_.end(), buffer.begin(), buffer.begin() + written);
    interleaved += 2 * n;
    frames -= n;
  }
  return true;
}

bool Mp3Encoder::Finish(std::vector<uint8_t>& file, std::string& error) {
  if (lame_ == nullptr) {
    error = "encoder not open";
    return false;
  }
  std::vector<uint8_t> buffer(7200);
  const int written = lame_encode_flush(Lame(lame_), buffer.data(), static_cast<int>(buffer.size()));
  if (written < 0) {
    error = "lame_encode_flush failed (" + std::to_string(written) + ")";
    return false;
  }
  stream_.insert(stream_.end(), buffer.begin(), buffer.begin() + written);

  // The tag replaces the empty frame LAME reserved at the stream's start.
  std::vector<uint8_t> tag(4096);
  const size_t tagSize = lame_get_lametag_frame(Lame(lame_), tag.data(), tag.size());
  if (tagSize == 0 || tagSize > tag.size() || tagSize > stream_.size()) {
    error = "the encoder produced no LAME tag frame";
    return false;
  }
  std::copy(tag.begin(), tag.begin() + static_cast<std::ptrdiff_t>(tagSize), stream_.begin());
  file = std::move(stream_);
  stream_.clear();
  lame_close(Lame(lame_));
  lame_ = nullptr;
  return true;
}

}  // namespace music
