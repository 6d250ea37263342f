#include "engine/music/music_player.h"

#include <cstdio>

#include "engine/core/fatal.h"
#include "engine/resources/resource_table.h"

namespace {

void Check(MusicPlayer* player, AudioResult result) {
  player->lastResult = result;
  if (result != kAudioOk) Fatal("FMOD error! (%d) %s\n", static_cast<int>(result), AudioResultText(result));
}

}  // namespace

MusicPlayer* MusicPlayer::Create() {
  auto* player = new MusicPlayer{nullptr, nullptr, AudioChannel{nullptr, 0}, kAudioOk, 0, 0};
  Check(player, CreateAudioMixer(&player->system));
  Check(player, GetAudioMixerVersion(player->system, &player->version));
  if (player->version < kRequiredMixerVersion) {
    std::printf("Error!  You are using an old version of FMOD %08x.  This program requires %08x\n", player->version,
                kRequiredMixerVersion);
    std::fflush(stdout);
    player->sound = nullptr;
    player->channel = AudioChannel{nullptr, 0};
    return player;
  }
  Check(player, InitAudioMixer(player->system, 1));
  player->sound = nullptr;
  player->channel = AudioChannel{nullptr, 0};
  return player;
}

void MusicPlayer::LoadTrack() {
  // The table owns these bytes and frees them only after Shutdown; the
  // stream reads them in place until then.
  ResourceEntry& track = ResourceTable::Instance()->Get(kMusicTrackName);
  Check(this, OpenMemoryStream(system, track.data, track.size, &sound));
  uint32_t length = 0;
  Check(this, GetStreamLengthMs(sound, &length));
  lengthMs = length;
}

void MusicPlayer::StartPlayback(uint32_t startMs) {
  if (sound == nullptr) return;
  Check(this, PlayStream(system, sound, &channel, startMs));
}

void MusicPlayer::Update() { UpdateAudioMixer(system); }

int32_t MusicPlayer::Position(uint32_t* positionMs) {
  lastResult = GetChannelPositionMs(channel, positionMs);
  return lastResult;
}

void MusicPlayer::SetMute(bool muted) { SetChannelMute(channel, muted); }

void MusicPlayer::Shutdown() {
  Check(this, ReleaseStream(sound));
  Check(this, CloseAudioMixer(system));
  Check(this, ReleaseAudioMixer(system));
}

bool MusicPlayer::PositionIsClock(int32_t result) {
  return result == kAudioOk || result == kAudioChannelStolen || result == kAudioInvalidHandle;
}
