#include "tools/core/video_export.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/core/text_mode_image.h"
#include "engine/music/mp3_decoder.h"
#include "engine/music/music_player.h"
#include "engine/resources/resource_table.h"
#include "tools/common/atomic_file.h"
#include "tools/common/progress.h"

namespace tools {

namespace {

// H.264 for the text-mode pictures: every cell's glyph is a hard-edged 8 x 8
// pattern that changes every frame. At 1280 x 800 on the show's busiest part
// (30-34 s): veryfast CRF 23 smears dark glyphs on dark grounds (56 Mbit/s,
// 47 frames/s); CRF 18 keeps them (72 Mbit/s, 44 frames/s); medium CRF 23 is
// no sharper than veryfast CRF 18 at half the speed (23 frames/s).
constexpr const char* kX264Preset = "veryfast";
constexpr const char* kX264Crf = "18";
constexpr int kAacBitRate = 192000;
constexpr int kOpusBitRate = 128000;

struct Format {
  const char* extension;   // lower case
  bool lossless;
  const char* muxer;
  const char* videoCodec;
  AVPixelFormat pixels;
  const char* audioCodec;   // null: no sound
};

constexpr Format kFormats[] = {
    {".mp4", false, "mp4", "libx264", AV_PIX_FMT_YUV420P, "aac"},
    {".mkv", false, "matroska", "libx264", AV_PIX_FMT_YUV420P, "aac"},
    {".mkv", true, "matroska", "ffv1", AV_PIX_FMT_BGR0, "flac"},
    {".webm", false, "webm", "libvpx-vp9", AV_PIX_FMT_YUV420P, "libopus"},
};
// The 16 colours as a palette: every frame exactly, no sound.
constexpr Format kGif = {".gif", false, "gif", "gif", AV_PIX_FMT_PAL8, nullptr};

constexpr int kDefaultFps = 60;
constexpr int kDefaultGifFps = 25;
constexpr int kMaxFps = 240;
constexpr int kMaxScale = 8;
constexpr int kRingFrames = 4;               // pictures rendered ahead of the encoder
constexpr size_t kAudioChunk = 4608;         // source PCM frames decoded at a time
constexpr int kAvioBufferBytes = 1 << 16;

volatile std::sig_atomic_t gStopRequested = 0;
void OnStopSignal(int) { gStopRequested = 1; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

std::string Extension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(path.substr(dot));
}

const Format* FindFormat(const VideoRequest& request) {
  if (request.gif) return &kGif;
  const std::string extension = Extension(request.path);
  for (const Format& f : kFormats) {
    if (extension == f.extension && request.lossless == f.lossless) return &f;
  }
  return nullptr;
}

int FramesPerSecond(const VideoRequest& request) {
  return request.fps != 0 ? request.fps : request.gif ? kDefaultGifFps : kDefaultFps;
}

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// The format's data through AtomicFile, so that the file appears under its
// name only once complete.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using AvioBytes = const uint8_t*;
#else
using AvioBytes = uint8_t*;
#endif
int WriteToFile(void* opaque, AvioBytes bytes, int size) {
  return static_cast<AtomicFile*>(opaque)->Write(bytes, static_cast<size_t>(size)) ? size : AVERROR(EIO);
}
int64_t SeekInFile(void* opaque, int64_t offset, int whence) {
  if ((whence & AVSEEK_SIZE) != 0) return AVERROR(ENOSYS);
  const int64_t position = static_cast<AtomicFile*>(opaque)->Seek(offset, whence & ~AVSEEK_FORCE);
  return position >= 0 ? position : AVERROR(ESPIPE);
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

class Exporter {
 public:
  Exporter(const VideoRequest& request, const Format& format)
      : request_(request), format_(format), fps_(FramesPerSecond(request)), scale_(request.scale),
        width_(kTextModeWidth * scale_), height_(kTextModeHeight * scale_), file_(request.path) {}
  ~Exporter();
  // False with error_ set; interrupted_ when a signal stopped it.
  bool Run(const RenderPicture& render);

  std::string error_;
  bool interrupted_ = false;

 private:
  bool Fail(const std::string& what, int code) {
    if (error_.empty()) error_ = !file_.ok() ? file_.Error() : what + ": " + AvError(code);
    return false;
  }
  bool OpenSoundtrack();
  bool OpenTrack(const ResourceEntry& track);
  bool OpenVideo();
  bool OpenAudio();
  bool Drain(AVCodecContext* encoder, AVStream* stream);
  bool EncodeAudioUntil(uint64_t outFrames);
  bool ReadSource();
  void Picture(const RenderPicture& render, uint64_t index, AVFrame* frame);

  const VideoRequest request_;
  const Format& format_;
  const int fps_, scale_, width_, height_;
  AtomicFile file_;
  uint32_t toMs_ = 0;
  uint64_t videoFrames_ = 0;

  AVFormatContext* muxer_ = nullptr;
  AVIOContext* avio_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVStream* videoStream_ = nullptr;
  std::vector<uint8_t> rgb_;
  // The picture as palette entries (the text mode has only its 16 colours):
  // paletteIndex_ maps a colour's key, 3 bits a channel, to its entry, any
  // other colour to 255 (drawn black in YUV, white in a GIF).
  std::vector<uint8_t> indices_;
  uint8_t paletteIndex_[512];
  // Each entry's BT.709 limited-range Y, Cb, Cr, and the text-mode column of
  // every output column, for the YUV 4:2:0 pictures.
  uint8_t luma_[256] = {}, blue_[256] = {}, red_[256] = {};
  std::vector<int> column_;

  // The soundtrack from sourceFrom_ to sourceTo_ (PCM frames of the track;
  // past its end silence), resampled into fifo_ and sent in frames of
  // frameSize_ until audioTotal_ frames at the encoder's rate.
  Mp3Decoder* mp3_ = nullptr;
  Mp3Format mp3Format_{};
  bool trackFinished_ = false, sourceDone_ = false;
  uint64_t sourceAt_ = 0, sourceTo_ = 0;
  uint64_t audioSent_ = 0, audioTotal_ = 0;
  int frameSize_ = 0;
  std::vector<int16_t> pcm_;
  uint8_t** converted_ = nullptr;
  int convertedCapacity_ = 0;
  AVCodecContext* audio_ = nullptr;
  AVStream* audioStream_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  AVFrame* audioFrame_ = nullptr;

  Clock::duration renderTime_{}, convertTime_{};
};

Exporter::~Exporter() {
  avcodec_free_context(&video_);
  avcodec_free_context(&audio_);
  swr_free(&swr_);
  if (fifo_ != nullptr) av_audio_fifo_free(fifo_);
  av_frame_free(&audioFrame_);
  av_packet_free(&packet_);
  if (converted_ != nullptr) av_freep(&converted_[0]);
  av_freep(&converted_);
  if (mp3_ != nullptr) CloseMp3Decoder(mp3_);
  avformat_free_context(muxer_);
  if (avio_ != nullptr) av_freep(&avio_->buffer);
  avio_context_free(&avio_);
}

// Whether the soundtrack is needed: for the sound, or for where the range ends.
bool NeedsTrack(const VideoRequest& request, const Format& format) {
  return format.audioCodec != nullptr || !request.haveTo;
}

bool Exporter::OpenSoundtrack() {
  if (!NeedsTrack(request_, format_)) {
    toMs_ = request_.toMs;
  } else {
    ResourceEntry& track = ResourceTable::Instance()->Get(kMusicTrackName);
    if (!OpenTrack(track)) return false;
  }
  videoFrames_ = (static_cast<uint64_t>(toMs_ - request_.fromMs) * fps_ + 500) / 1000;
  if (videoFrames_ == 0) {
    error_ = "the range holds no frame at this --fps";
    return false;
  }
  return true;
}

bool Exporter::OpenTrack(const ResourceEntry& track) {
  if (OpenMp3Decoder(track.data, track.size, &mp3_, &mp3Format_) != Mp3OpenStatus::kOk) {
    error_ = std::string("cannot decode the soundtrack \"") + kMusicTrackName + "\"";
    return false;
  }
  const uint64_t rate = mp3Format_.rate;
  toMs_ = request_.haveTo ? request_.toMs
                          : static_cast<uint32_t>((mp3Format_.totalFrames * 1000 + rate / 2) / rate);
  if (toMs_ <= request_.fromMs) {
    error_ = "the range is empty: --from " + std::to_string(request_.fromMs) + " is not before its end " +
             std::to_string(toMs_) + " ms";
    return false;
  }
  sourceAt_ = (static_cast<uint64_t>(request_.fromMs) * rate + 500) / 1000;
  sourceTo_ = (static_cast<uint64_t>(toMs_) * rate + 500) / 1000;
  return true;
}

bool Exporter::OpenVideo() {
  const AVCodec* codec = avcodec_find_encoder_by_name(format_.videoCodec);
  video_ = avcodec_alloc_context3(codec);
  video_->width = width_;
  video_->height = height_;
  video_->pix_fmt = format_.pixels;
  video_->time_base = AVRational{1, fps_};
  video_->framerate = AVRational{fps_, 1};
  video_->sample_aspect_ratio = AVRational{1, 1};
  if ((muxer_->oformat->flags & AVFMT_GLOBALHEADER) != 0) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  if (format_.pixels == AV_PIX_FMT_YUV420P) {
    // What Picture's table uses, so that players convert back alike.
    video_->colorspace = AVCOL_SPC_BT709;
    video_->color_range = AVCOL_RANGE_MPEG;
    video_->color_primaries = AVCOL_PRI_BT709;
    video_->color_trc = AVCOL_TRC_IEC61966_2_1;
    std::memset(luma_, 16, sizeof luma_), std::memset(blue_, 128, sizeof blue_), std::memset(red_, 128, sizeof red_);
    for (int c = 0; c < 16; ++c) {
      const double r = PaletteByte(c, 0) / 255.0, g = PaletteByte(c, 1) / 255.0, b = PaletteByte(c, 2) / 255.0;
      const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
      luma_[c] = static_cast<uint8_t>(std::lround(16 + 219 * y));
      blue_[c] = static_cast<uint8_t>(std::lround(128 + 224 * (b - y) / 1.8556));
      red_[c] = static_cast<uint8_t>(std::lround(128 + 224 * (r - y) / 1.5748));
    }
    column_.resize(static_cast<size_t>(width_));
    for (int x = 0; x < width_; ++x) column_[static_cast<size_t>(x)] = x / scale_;
  } else if (format_.pixels == AV_PIX_FMT_BGR0) {
    video_->colorspace = AVCOL_SPC_RGB;
    video_->color_range = AVCOL_RANGE_JPEG;
  }
  if (std::strcmp(format_.videoCodec, "libx264") == 0) {
    av_dict_set(&options, "preset", kX264Preset, 0);
    av_dict_set(&options, "crf", kX264Crf, 0);
  } else if (std::strcmp(format_.videoCodec, "libvpx-vp9") == 0) {
    // Constant quality in the "good" mode: on the busiest part 18 Mbit/s and
    // closer to the pictures than the H.264 above, but about 7 frames/s on
    // two cores; the realtime mode is 4 times as fast at 5 times the bits.
    av_dict_set(&options, "crf", "32", 0);
    av_dict_set(&options, "b", "0", 0);
    av_dict_set(&options, "deadline", "good", 0);
    av_dict_set(&options, "cpu-used", "4", 0);
    av_dict_set(&options, "row-mt", "1", 0);
  } else if (std::strcmp(format_.videoCodec, "ffv1") == 0) {
    av_dict_set(&options, "level", "3", 0);
  }
  const int opened = avcodec_open2(video_, codec, &options);
  av_dict_free(&options);
  if (opened < 0) return Fail(std::string("cannot open the ") + format_.videoCodec + " encoder", opened);
  videoStream_ = avformat_new_stream(muxer_, nullptr);
  if (videoStream_ == nullptr) return Fail("cannot add the video stream", AVERROR(ENOMEM));
  videoStream_->time_base = video_->time_base;
  videoStream_->avg_frame_rate = video_->framerate;
  const int copied = avcodec_parameters_from_context(videoStream_->codecpar, video_);
  if (copied < 0) return Fail("cannot describe the video stream", copied);
  rgb_.resize(static_cast<size_t>(kTextModeWidth) * kTextModeHeight * 3);
  if (format_.pixels != AV_PIX_FMT_BGR0) {
    indices_.resize(static_cast<size_t>(kTextModeWidth) * kTextModeHeight);
    std::memset(paletteIndex_, 0xFF, sizeof paletteIndex_);
    for (int c = 0; c < 16; ++c) {
      paletteIndex_[(PaletteByte(c, 0) >> 5) << 6 | (PaletteByte(c, 1) >> 5) << 3 | PaletteByte(c, 2) >> 5] =
          static_cast<uint8_t>(c);
    }
  }
  return true;
}

bool Exporter::OpenAudio() {
  const AVCodec* codec = avcodec_find_encoder_by_name(format_.audioCodec);
  audio_ = avcodec_alloc_context3(codec);
  const int sourceRate = static_cast<int>(mp3Format_.rate);
  int rate = sourceRate;
  if (codec->supported_samplerates != nullptr) {
    bool has = false, has48k = false;
    for (const int* r = codec->supported_samplerates; *r != 0; ++r) has |= *r == rate, has48k |= *r == 48000;
    if (!has) rate = has48k ? 48000 : codec->supported_samplerates[0];
  }
  audio_->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  audio_->sample_rate = rate;
  audio_->time_base = AVRational{1, rate};
  av_channel_layout_default(&audio_->ch_layout, static_cast<int>(mp3Format_.channels));
  if (std::strcmp(format_.audioCodec, "aac") == 0) audio_->bit_rate = kAacBitRate;
  if (std::strcmp(format_.audioCodec, "libopus") == 0) audio_->bit_rate = kOpusBitRate;
  if ((muxer_->oformat->flags & AVFMT_GLOBALHEADER) != 0) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  const int opened = avcodec_open2(audio_, codec, nullptr);
  if (opened < 0) return Fail(std::string("cannot open the ") + format_.audioCodec + " encoder", opened);
  audioStream_ = avformat_new_stream(muxer_, nullptr);
  if (audioStream_ == nullptr) return Fail("cannot add the audio stream", AVERROR(ENOMEM));
  audioStream_->time_base = audio_->time_base;
  const int copied = avcodec_parameters_from_context(audioStream_->codecpar, audio_);
  if (copied < 0) return Fail("cannot describe the audio stream", copied);

  frameSize_ = audio_->frame_size > 0 ? audio_->frame_size : 1024;
  audioTotal_ = (static_cast<uint64_t>(toMs_ - request_.fromMs) * static_cast<uint64_t>(rate) + 500) / 1000;
  AVChannelLayout sourceLayout;
  av_channel_layout_default(&sourceLayout, static_cast<int>(mp3Format_.channels));
  int made = swr_alloc_set_opts2(&swr_, &audio_->ch_layout, audio_->sample_fmt, rate, &sourceLayout,
                                 AV_SAMPLE_FMT_S16, sourceRate, 0, nullptr);
  if (made >= 0) made = swr_init(swr_);
  if (made < 0) return Fail("cannot resample the soundtrack", made);
  fifo_ = av_audio_fifo_alloc(audio_->sample_fmt, audio_->ch_layout.nb_channels, frameSize_ * 4);
  audioFrame_ = av_frame_alloc();
  pcm_.resize(kAudioChunk * mp3Format_.channels);
  convertedCapacity_ = static_cast<int>(av_rescale_rnd(kAudioChunk, rate, sourceRate, AV_ROUND_UP)) + 256;
  made = av_samples_alloc_array_and_samples(&converted_, nullptr, audio_->ch_layout.nb_channels, convertedCapacity_,
                                            audio_->sample_fmt, 0);
  if (fifo_ == nullptr || audioFrame_ == nullptr || made < 0) return Fail("out of memory", AVERROR(ENOMEM));
  audioFrame_->format = audio_->sample_fmt;
  audioFrame_->sample_rate = rate;
  av_channel_layout_copy(&audioFrame_->ch_layout, &audio_->ch_layout);
  audioFrame_->nb_samples = frameSize_;
  made = av_frame_get_buffer(audioFrame_, 0);
  if (made < 0) return Fail("out of memory", made);

  // Up to --from the track is decoded and dropped.
  for (uint64_t skipped = 0; skipped < sourceAt_ && !trackFinished_;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kAudioChunk, sourceAt_ - skipped));
    skipped += DecodeMp3Frames(mp3_, pcm_.data(), want, &trackFinished_);
  }
  return true;
}

// One chunk of the source range into the fifo; at its end, what the
// resampler still holds.
bool Exporter::ReadSource() {
  int converted = 0;
  if (sourceAt_ < sourceTo_) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kAudioChunk, sourceTo_ - sourceAt_));
    size_t got = 0;
    while (got < want && !trackFinished_) {
      got += DecodeMp3Frames(mp3_, pcm_.data() + got * mp3Format_.channels, want - got, &trackFinished_);
    }
    std::fill(pcm_.begin() + static_cast<ptrdiff_t>(got * mp3Format_.channels),
              pcm_.begin() + static_cast<ptrdiff_t>(want * mp3Format_.channels), int16_t{0});   // past the track
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(pcm_.data())};
    converted = swr_convert(swr_, converted_, convertedCapacity_, in, static_cast<int>(want));
    sourceAt_ += want;
  } else {
    converted = swr_convert(swr_, converted_, convertedCapacity_, nullptr, 0);
    sourceDone_ = converted == 0;
  }
  if (converted < 0) return Fail("cannot resample the soundtrack", converted);
  if (converted > 0 && av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_), converted) < converted) {
    return Fail("out of memory", AVERROR(ENOMEM));
  }
  return true;
}

bool Exporter::EncodeAudioUntil(uint64_t outFrames) {
  outFrames = std::min(outFrames, audioTotal_);
  while (audioSent_ < outFrames) {
    int count = static_cast<int>(std::min<uint64_t>(frameSize_, audioTotal_ - audioSent_));
    // A short last frame only where the encoder takes one; else silence fills it.
    const bool shortFrames = (audio_->codec->capabilities &
                              (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) != 0;
    if (!shortFrames) count = frameSize_;
    while (av_audio_fifo_size(fifo_) < count && !sourceDone_) {
      if (!ReadSource()) return false;
    }
    int made = av_frame_make_writable(audioFrame_);
    if (made < 0) return Fail("out of memory", made);
    audioFrame_->nb_samples = count;
    const int read = std::max(0, av_audio_fifo_read(fifo_, reinterpret_cast<void**>(audioFrame_->data), count));
    if (read < count) {
      av_samples_set_silence(audioFrame_->data, read, count - read, audio_->ch_layout.nb_channels,
                             audio_->sample_fmt);
    }
    audioFrame_->pts = static_cast<int64_t>(audioSent_);
    made = avcodec_send_frame(audio_, audioFrame_);
    if (made < 0) return Fail("cannot encode the sound", made);
    if (!Drain(audio_, audioStream_)) return false;
    audioSent_ += static_cast<uint64_t>(count);
  }
  return true;
}

bool Exporter::Drain(AVCodecContext* encoder, AVStream* stream) {
  for (;;) {
    int made = avcodec_receive_packet(encoder, packet_);
    if (made == AVERROR(EAGAIN) || made == AVERROR_EOF) return true;
    if (made < 0) return Fail("cannot encode", made);
    av_packet_rescale_ts(packet_, encoder->time_base, stream->time_base);
    packet_->stream_index = stream->index;
    made = av_interleaved_write_frame(muxer_, packet_);
    if (made < 0) return Fail("cannot write \"" + request_.path + "\"", made);
  }
}

// The picture of frame index: rendered, scaled by whole pixels, converted to
// the encoder's pixels.
void Exporter::Picture(const RenderPicture& render, uint64_t index, AVFrame* frame) {
  const Clock::time_point start = Clock::now();
  const uint64_t fps = static_cast<uint64_t>(fps_);
  const uint64_t ms = request_.fromMs + (index * 2000 + fps) / (2 * fps);   // index * 1000 / fps, rounded
  render(static_cast<uint32_t>(ms), rgb_.data());
  const Clock::time_point rendered = Clock::now();
  const int k = scale_;
  // Output rows of one text-mode row (chroma rows of the same pair of them)
  // are equal: the first is made, the others copied.
  const auto repeated = [frame](int plane, int y, int rowBytes) {
    uint8_t* dst = frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane];
    std::memcpy(dst, dst - frame->linesize[plane], static_cast<size_t>(rowBytes));
  };
  if (format_.pixels == AV_PIX_FMT_BGR0) {
    for (int y = 0; y < height_; ++y) {
      if (y % k != 0) {
        repeated(0, y, width_ * 4);
        continue;
      }
      const uint8_t* src = rgb_.data() + static_cast<size_t>(y / k) * kTextModeWidth * 3;
      uint8_t* dst = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
      for (int x = 0; x < kTextModeWidth; ++x, src += 3) {
        for (int i = 0; i < k; ++i, dst += 4) dst[0] = src[2], dst[1] = src[1], dst[2] = src[0], dst[3] = 0;
      }
    }
  } else {
    const uint8_t* src = rgb_.data();
    for (uint8_t& entry : indices_) {
      entry = paletteIndex_[(src[0] >> 5) << 6 | (src[1] >> 5) << 3 | src[2] >> 5];
      src += 3;
    }
    const uint8_t* level = format_.pixels == AV_PIX_FMT_YUV420P ? luma_ : nullptr;   // else the entries
    for (int y = 0; y < height_; ++y) {
      if (y % k != 0) {
        repeated(0, y, width_);
        continue;
      }
      const uint8_t* row = indices_.data() + static_cast<size_t>(y / k) * kTextModeWidth;
      uint8_t* dst = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
      for (int x = 0; x < kTextModeWidth; ++x) {
        const uint8_t v = level != nullptr ? level[row[x]] : row[x];
        for (int i = 0; i < k; ++i) *dst++ = v;
      }
    }
    // A chroma sample covers 2 x 2 output pixels: exactly one text-mode pixel
    // at an even scale, the mean of up to four at an odd one.
    for (int y = 0; level != nullptr && y < height_ / 2; ++y) {
      if (y > 0 && 2 * y / k == (2 * y - 2) / k && (2 * y + 1) / k == (2 * y - 1) / k) {
        repeated(1, y, width_ / 2), repeated(2, y, width_ / 2);
        continue;
      }
      const uint8_t* top = indices_.data() + static_cast<size_t>(2 * y / k) * kTextModeWidth;
      const uint8_t* bottom = indices_.data() + static_cast<size_t>((2 * y + 1) / k) * kTextModeWidth;
      uint8_t* cb = frame->data[1] + static_cast<ptrdiff_t>(y) * frame->linesize[1];
      uint8_t* cr = frame->data[2] + static_cast<ptrdiff_t>(y) * frame->linesize[2];
      for (int x = 0; x < width_ / 2; ++x) {
        const int left = column_[static_cast<size_t>(2 * x)], right = column_[static_cast<size_t>(2 * x + 1)];
        const uint8_t a = top[left], b = top[right], c = bottom[left], d = bottom[right];
        cb[x] = static_cast<uint8_t>((blue_[a] + blue_[b] + blue_[c] + blue_[d] + 2) >> 2);
        cr[x] = static_cast<uint8_t>((red_[a] + red_[b] + red_[c] + red_[d] + 2) >> 2);
      }
    }
  }
  renderTime_ += rendered - start;
  convertTime_ += Clock::now() - rendered;
}

bool Exporter::Run(const RenderPicture& render) {
  if (!file_.ok()) return Fail("", 0);
  if (!OpenSoundtrack()) return false;
  int made = avformat_alloc_output_context2(&muxer_, nullptr, format_.muxer, nullptr);
  if (made < 0) return Fail("cannot make the container", made);
  auto* buffer = static_cast<unsigned char*>(av_malloc(kAvioBufferBytes));
  avio_ = avio_alloc_context(buffer, kAvioBufferBytes, 1, &file_, nullptr, WriteToFile, SeekInFile);
  packet_ = av_packet_alloc();
  if (buffer == nullptr || avio_ == nullptr || packet_ == nullptr) return Fail("out of memory", AVERROR(ENOMEM));
  muxer_->pb = avio_;
  muxer_->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (!OpenVideo()) return false;
  if (format_.audioCodec != nullptr && !OpenAudio()) return false;
  AVDictionary* options = nullptr;
  if (format_.pixels == AV_PIX_FMT_PAL8) av_dict_set(&options, "loop", "0", 0);   // for ever
  made = avformat_write_header(muxer_, &options);
  av_dict_free(&options);
  if (made < 0) return Fail("cannot write \"" + request_.path + "\"", made);

  // The pictures are drawn on a thread of their own into a ring of frames
  // while the calling thread encodes them (the show is single-threaded: only
  // that thread renders while the export runs).
  AVFrame* ring[kRingFrames] = {};
  for (AVFrame*& frame : ring) {
    frame = av_frame_alloc();
    if (frame == nullptr) break;
    frame->format = format_.pixels;
    frame->width = width_;
    frame->height = height_;
    if (av_frame_get_buffer(frame, 0) < 0) av_frame_free(&frame);
    if (frame == nullptr) break;
    if (format_.pixels == AV_PIX_FMT_PAL8) {
      auto* palette = reinterpret_cast<uint32_t*>(frame->data[1]);
      for (int c = 0; c < 256; ++c) {
        const int p = c & 15;
        palette[c] = 0xFF000000u | uint32_t{PaletteByte(p, 0)} << 16 | uint32_t{PaletteByte(p, 1)} << 8 |
                     PaletteByte(p, 2);
      }
    }
  }
  std::mutex mutex;
  std::condition_variable changed;
  uint64_t drawn = 0, taken = 0;
  bool stop = false;
  bool ringOk = std::all_of(std::begin(ring), std::end(ring), [](AVFrame* f) { return f != nullptr; });
  std::thread renderer([&] {
    for (uint64_t i = 0; ringOk && i < videoFrames_; ++i) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stop || drawn - taken < kRingFrames; });
        if (stop) return;
      }
      AVFrame* frame = ring[i % kRingFrames];
      // The encoder may still hold a reference to the slot's last picture.
      if (av_frame_make_writable(frame) < 0) {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true, ringOk = false;
        changed.notify_all();
        return;
      }
      Picture(render, i, frame);
      std::lock_guard<std::mutex> lock(mutex);
      ++drawn;
      changed.notify_all();
    }
  });

  const Clock::time_point start = Clock::now();
  Clock::duration waited{};
  const uint64_t outRate = audio_ != nullptr ? static_cast<uint64_t>(audio_->sample_rate) : 0;
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  ProgressBar progress(videoFrames_);
  bool ok = true;
  for (uint64_t i = 0; ok && i < videoFrames_; ++i) {
    const Clock::time_point before = Clock::now();
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return !ringOk || drawn > i; });
      if (!ringOk) ok = Fail("out of memory", AVERROR(ENOMEM));
    }
    waited += Clock::now() - before;
    if (gStopRequested != 0) {
      interrupted_ = true;
      ok = false;
    }
    if (!ok) break;
    AVFrame* frame = ring[i % kRingFrames];
    frame->pts = static_cast<int64_t>(i);
    made = avcodec_send_frame(video_, frame);
    ok = made >= 0 ? Drain(video_, videoStream_) : Fail("cannot encode the pictures", made);
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++taken;
      changed.notify_all();
    }
    if (ok && audio_ != nullptr) ok = EncodeAudioUntil((i + 1) * outRate / static_cast<uint64_t>(fps_));
    progress.Update(i + 1);
  }
  {
    std::lock_guard<std::mutex> lock(mutex);
    stop = true;
    changed.notify_all();
  }
  renderer.join();
  for (AVFrame*& frame : ring) av_frame_free(&frame);
  progress.Finish();
  if (ok) {
    made = avcodec_send_frame(video_, nullptr);
    ok = made >= 0 ? Drain(video_, videoStream_) : Fail("cannot encode the pictures", made);
  }
  if (ok && audio_ != nullptr) {
    ok = EncodeAudioUntil(audioTotal_);
    made = ok ? avcodec_send_frame(audio_, nullptr) : 0;
    ok = ok && (made >= 0 ? Drain(audio_, audioStream_) : Fail("cannot encode the sound", made));
  }
  if (ok) {
    made = av_write_trailer(muxer_);
    if (made < 0) ok = Fail("cannot write \"" + request_.path + "\"", made);
  }
  if (ok) {
    avio_flush(avio_);
    if (avio_->error < 0) ok = Fail("cannot write \"" + request_.path + "\"", avio_->error);
  }
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (ok && !file_.Commit()) ok = Fail("", 0);
  if (ok && request_.stats) {
    const double wall = Seconds(Clock::now() - start);
    std::fprintf(stderr,
                 "demo_render: %llu frames in %.1f s (%.1f frames/s); rendering thread: RenderFrame and "
                 "rasterising %.1f s, scaling and converting %.1f s; encoding thread: encoding and writing %.1f s, "
                 "waiting for pictures %.1f s\n",
                 static_cast<unsigned long long>(videoFrames_), wall, static_cast<double>(videoFrames_) / wall,
                 Seconds(renderTime_), Seconds(convertTime_), wall - Seconds(waited), Seconds(waited));
  }
  return ok;
}

}  // namespace

std::string CheckVideoRequest(const VideoRequest& request) {
  if (request.gif) {
    if (request.lossless) return "--lossless is for --video FILE.mkv; a GIF is always exact";
    const int fps = FramesPerSecond(request);
    // A GIF's frame delay is a whole number of hundredths of a second, and
    // browsers slow delays under 2 down to 10.
    if (fps < 1 || 100 % fps != 0 || fps > 50) {
      return "--fps " + std::to_string(fps) + " cannot be a GIF's: its frame delay is in whole hundredths of a "
             "second (1, 2, 4, 5, 10, 20, 25 or 50 frames per second)";
    }
  } else {
    const std::string extension = Extension(request.path);
    if (extension != ".mp4" && extension != ".mkv" && extension != ".webm") {
      return "cannot tell the video format of \"" + request.path + "\": name it .mp4, .mkv or .webm";
    }
    if (request.lossless && extension != ".mkv") return "--lossless needs a .mkv file";
    const int fps = FramesPerSecond(request);
    if (fps < 1 || fps > kMaxFps) return "--fps must be 1 to " + std::to_string(kMaxFps);
  }
  if (request.scale < 1 || request.scale > kMaxScale) return "--scale must be 1 to " + std::to_string(kMaxScale);
  const Format* format = FindFormat(request);
  if (av_guess_format(format->muxer, nullptr, nullptr) == nullptr) {
    return std::string("the installed FFmpeg libraries lack the ") + format->muxer + " container";
  }
  for (const char* codec : {format->videoCodec, format->audioCodec}) {
    if (codec != nullptr && avcodec_find_encoder_by_name(codec) == nullptr) {
      return std::string("the installed FFmpeg libraries lack the ") + codec + " encoder";
    }
  }
  return "";
}

int ExportVideo(const VideoRequest& request, const RenderPicture& render) {
  av_log_set_level(AV_LOG_QUIET);   // failures are reported here, in one line
  // A missing track ends the program with the table's own line: before the
  // output is opened, so that no partial file is left behind.
  if (NeedsTrack(request, *FindFormat(request))) ResourceTable::Instance()->Get(kMusicTrackName);
  Exporter exporter(request, *FindFormat(request));
  if (exporter.Run(render)) return 0;
  if (exporter.interrupted_) {
    std::fprintf(stderr, "demo_render: interrupted; \"%s\" not written\n", request.path.c_str());
    return 130;
  }
  std::fprintf(stderr, "demo_render: %s\n", exporter.error_.c_str());
  return 1;
}

}  // namespace tools
