// Plays a short sound file without waiting for it. A missing file or no audio device stays silent:
// the sound is a courtesy, never an error. GUI thread only.
#pragma once

#include <memory>
#include <string>

class QSoundEffect;

namespace mw {

class TFinishSound {
  public:
    TFinishSound();
    ~TFinishSound();
    // Starts path (a WAV file) and returns at once; a sound still playing is replaced.
    void Play(const std::string& path);

  private:
    std::unique_ptr<QSoundEffect> FEffect;
};

} // namespace mw
