// Preview: the editor's script compiled and played through the sound card,
// record after record, before any MP3 is written. Speech is spoken aloud with
// the word being heard selected in the editor; prompt tones, music and
// recordings play through a SoundFilePlayer; pauses count down in the
// PauseCountdownDialog. Repeats and no-read spans are walked as the output
// walks them. While a preview runs the editor is read-only and the panel's
// buttons say how to stop it; stopping, or the end, restores the editor's
// selection and scroll position.
//
// Everything runs on the user-interface thread: the player's and the speech's
// threads reach the engine through queued calls only.
#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio-io/audio_system.h"
#include "audio-io/sound_file_player.h"
#include "audio-io/speech_player.h"
#include "core/output/marker_walk.h"
#include "core/script/compiler.h"
#include "app/shell/pause_countdown_dialog.h"
#include "core/speech/follow_word.h"

namespace aurisona {
class SettingsPanel;
class SpeechEngine;
}  // namespace aurisona

namespace aurisona::shell {

class MainWindow;

// The record a preview from `caret` starts with: the first that ends after
// the caret, the first of all when none does. A speech record that begins
// sentences before the caret is cut to begin with the caret's sentence.
size_t StartPreviewAt(std::vector<Segment>& segments, std::u16string_view editorText, int caret);

class PreviewEngine final : public QObject {
  Q_OBJECT

 public:
  PreviewEngine(MainWindow& window, SettingsPanel& panel, SpeechEngine& speech);
  ~PreviewEngine() override;

  // Starts a preview from editor position `startPosition` (0: the whole
  // script) when none runs, else stops the one running.
  void StartOrStop(int startPosition);

  bool InProgress() const { return active_; }
  bool IsPausing() const { return pausing_; }
  PauseCountdownDialog* Countdown() const { return countdown_; }
  const SoundFilePlayer& Player() const { return player_; }

  // Observers for tests and measurements: a record has started playing (the
  // record and its index), a word has been selected, the preview has ended.
  std::function<void(const Segment& record, size_t index)> recordStarted;
  std::function<void(int start, int end)> wordSelected;
  std::function<void()> ended;

 private:
  // Walks to the next record to play and starts it; false when the list is
  // done or the record failed to start (its message has been shown then).
  bool PlayNext();
  bool PlayRecord(Segment& record);
  // Lets the speech synthesise the record after `index` while this one plays,
  // when it is a sentence.
  void PrefetchAfter(size_t index);
  bool PlayFile(const std::filesystem::path& path, int playTime, int fade);
  void Advance();
  void Stop();
  void EndPreview();

  void OnWord(uint64_t generation, WordBoundary word);
  void OnSpeechEnd(uint64_t generation);
  void OnPlayed(uint64_t generation);
  void OnPauseDone();

  MainWindow& window_;
  SettingsPanel& panel_;
  std::vector<Segment> segments_;
  std::unique_ptr<MarkerWalk> walk_;
  std::u16string editorText_;
  std::u16string spokenText_;
  FollowWordState follow_;

  int savedStart_ = 0;
  int savedEnd_ = 0;
  int savedScroll_ = 0;
  bool active_ = false;
  bool pausing_ = false;
  QPointer<PauseCountdownDialog> countdown_;

  // Calls queued by a sentence or a file that has since been stopped carry an
  // older generation and are dropped.
  std::atomic<uint64_t> generation_{0};
  // The sound output is kept awake while the window lives, so that a preview
  // is heard at once even on a server that renders far ahead when idle.
  SoundOutputHold outputHold_;
  SoundFilePlayer player_;
  std::unique_ptr<SpeechPlayer> speech_;
};

}  // namespace aurisona::shell
