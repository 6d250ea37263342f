#include "tests/music/test_tracks.h"

#include <lame/lame.h>

#include <cmath>
#include <fstream>
#include <numbers>

std::vector<uint8_t> MakeSineMp3(const TrackShape& shape) {
  lame_t lame = lame_init();
  lame_set_in_samplerate(lame, shape.rate);
  lame_set_out_samplerate(lame, shape.rate);
  lame_set_num_channels(lame, shape.channels);   // mono or joint stereo, the encoder's own choice
  shape.variableRate ? lame_set_VBR(lame, vbr_default) : lame_set_brate(lame, 128);
  lame_set_quality(lame, 7);
  lame_set_write_id3tag_automatic(lame, 0);
  lame_init_params(lame);
  const int frames = static_cast<int>(std::lround(shape.seconds * shape.rate));
  std::vector<short> left(frames), right(frames);
  for (int i = 0; i < frames; ++i) {
    left[i] = static_cast<short>(9000 * std::sin(2 * std::numbers::pi * 440 * i / shape.rate));
    right[i] = static_cast<short>(9000 * std::sin(2 * std::numbers::pi * 660 * i / shape.rate));
  }
  std::vector<uint8_t> mp3(frames * 5 / 4 + 7200 + 16384);
  int written = lame_encode_buffer(lame, left.data(), shape.channels == 2 ? right.data() : nullptr, frames, mp3.data(),
                                   static_cast<int>(mp3.size()));
  written += lame_encode_flush(lame, mp3.data() + written, static_cast<int>(mp3.size()) - written);
  mp3.resize(static_cast<size_t>(written));
  // The Info frame is known only at the end; it replaces the placeholder frame
  // the encoder wrote first.
  lame_get_lametag_frame(lame, mp3.data(), mp3.size());
  lame_close(lame);
  return mp3;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
