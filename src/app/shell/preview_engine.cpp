#include "app/shell/preview_engine.h"

#include <QAbstractScrollArea>
#include <algorithm>
#include <QScrollBar>

#include "app/panel/panel_controls.h"
#include "app/panel/settings_panel.h"
#include "app/shell/main_window.h"
#include "app/shell/pause_countdown_dialog.h"
#include "app/shell/shell_texts.h"
#include "core/speech/voice_slots.h"
#include "core/util/text.h"

namespace aurisona::shell {
namespace {

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

std::filesystem::path FileIn(const std::filesystem::path& folder, const std::u16string& name) {
  return folder / std::filesystem::path(Utf16ToUtf8(name));
}

QAbstractScrollArea* ScrollArea(MainWindow& window) {
  return qobject_cast<QAbstractScrollArea*>(window.Editor().Widget());
}

}  // namespace

PreviewEngine::PreviewEngine(MainWindow& window, SettingsPanel& panel, SpeechEngine& speech)
    : QObject(&panel), window_(window), panel_(panel) {
  SpeechEvents events;
  events.word = [this](const WordBoundary& word) {
    const uint64_t generation = generation_.load();
    QMetaObject::invokeMethod(this, [this, generation, word] { OnWord(generation, word); }, Qt::QueuedConnection);
  };
  events.end = [this](SpeechEnd) {
    const uint64_t generation = generation_.load();
    QMetaObject::invokeMethod(this, [this, generation] { OnSpeechEnd(generation); }, Qt::QueuedConnection);
  };
  speech_ = std::make_unique<SpeechPlayer>(speech, std::move(events));
}

PreviewEngine::~PreviewEngine() {
  // The threads stop before the members they call into go away.
  player_.Stop();
  speech_->Stop();
}

namespace {

// Whether the compiler ends a sentence run with the character at `at`.
bool EndsRun(std::u16string_view text, size_t at) {
  const char16_t c = text[at];
  if (c == u'.') {
    const auto digit = [](char16_t d) { return d >= u'0' && d <= u'9'; };
    return !(at > 0 && at + 1 < text.size() && digit(text[at - 1]) && digit(text[at + 1]));
  }
  return IsSentenceEnd(c) || c == u'?' || c == u'!' || c == u';' || c == u'"' || c == u'\r' || c == u'\n';
}

}  // namespace

size_t StartPreviewAt(std::vector<Segment>& segments, std::u16string_view editorText, int caret) {
  if (caret <= 0) return 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    Segment& record = segments[i];
    if (record.end <= caret) continue;
    if (record.kind == kSegSpeech && record.start < caret && static_cast<size_t>(record.end) <= editorText.size()) {
      // Sentences of one voice are merged into one record: it is cut to begin
      // with the sentence the caret is in.
      int from = caret;
      while (from > record.start && !EndsRun(editorText, static_cast<size_t>(from) - 1)) {
        // A voice mark opens a run of its own (read as a blank).
        if (editorText[static_cast<size_t>(--from)] == kMarkChar) break;
      }
      if (from > record.start) {
        std::u16string text(editorText.substr(static_cast<size_t>(from), static_cast<size_t>(record.end - from)));
        std::replace(text.begin(), text.end(), kMarkChar, u' ');
        record.text = std::move(text);
        record.start = from;
      }
    }
    return i;
  }
  // Behind the last record: from the first.
  return 0;
}

void PreviewEngine::StartOrStop(int startPosition) {
  if (active_) {
    Stop();
    return;
  }
  ScriptDocument& doc = window_.Editor().Document();
  const auto [selStart, selEnd] = doc.Selection();
  savedStart_ = selStart;
  savedEnd_ = selEnd;
  QAbstractScrollArea* scroll = ScrollArea(window_);
  savedScroll_ = scroll ? scroll->verticalScrollBar()->value() : 0;
  segments_.clear();
  walk_.reset();
  if (doc.Length() == 0) {
    window_.Dialogs().ShowError(&panel_, Q(text::kPreviewEmpty));
    return;
  }
  editorText_ = doc.Text(0, doc.Length());
  ScriptCompiler(doc, window_.Media().lists(), segments_, [this](CompilerMessage message, int) {
    window_.Dialogs().ShowError(window_.Editor().Widget(), Q(CompilerMessageText(message)));
  });

  const size_t first = StartPreviewAt(segments_, editorText_, std::max(startPosition, 0));
  walk_ = std::make_unique<MarkerWalk>(segments_, first);
  active_ = true;
  if (!PlayNext()) {
    active_ = false;
    speech_->ReleaseVoice();
    return;
  }

  window_.Editor().SetReadOnlyPreview(true);
  const int stopId = startPosition > 0 ? panel::kPreviewFromCaretId : panel::kPreviewAllId;
  const int otherId = startPosition > 0 ? panel::kPreviewAllId : panel::kPreviewFromCaretId;
  panel_.SetButtonText(stopId, Q(panel::kStopButtonText));
  panel_.SetButtonEnabled(otherId, false);
  panel_.SetButtonEnabled(panel::kOutputId, false);
  window_.SetPreviewState(0);
}

bool PreviewEngine::PlayNext() {
  while (Segment* record = walk_->Next()) {
    // Kinds without a sound of their own (none are compiled today) are passed.
    const bool playable = record->kind <= kSegRecording || record->IsPause();
    if (!playable) continue;
    const size_t index = walk_->index();
    // A pause starts when its timer does, before its countdown is first shown (which
    // takes a while); a sound once it plays.
    const bool pause = record->IsPause();
    if (pause && recordStarted) recordStarted(segments_[index], index);
    const bool playing = PlayRecord(*record);
    if (playing && !pause && recordStarted) recordStarted(segments_[index], index);
    if (playing) PrefetchAfter(index);
    return playing;
  }
  return false;
}

void PreviewEngine::PrefetchAfter(size_t index) {
  // The record that follows in the list is usually the next one played; when
  // the walk goes elsewhere (a repeat, a no-read span, a swapped voice) the
  // sentence prefetched is not the one spoken and is dropped.
  if (index + 1 >= segments_.size() || segments_[index + 1].kind != kSegSpeech) return;
  const Segment& next = segments_[index + 1];
  const VoiceSlot voice =
      panel_.VoiceSlotQuery(next.Slot()).value_or(VoiceSlot{});
  speech_->Prefetch(next.text, voice.voice, voice.rate, voice.volume);
}

bool PreviewEngine::PlayFile(const std::filesystem::path& path, int playTime, int fade) {
  const uint64_t generation = ++generation_;
  auto completion = [this, generation](PlaybackEnd) {
    QMetaObject::invokeMethod(this, [this, generation] { OnPlayed(generation); }, Qt::QueuedConnection);
  };
  return !path.empty() && player_.Play(path, std::move(completion), playTime, fade) == 0;
}

bool PreviewEngine::PlayRecord(Segment& record) {
  ScriptDocument& doc = window_.Editor().Document();
  MediaLibrary& media = window_.Media();
  switch (record.kind) {
    case kSegSpeech: {
      const int slot = record.Slot();
      const VoiceSlot voice = panel_.VoiceSlotQuery(slot).value_or(VoiceSlot{});
      follow_.searchPosition = record.start;
      follow_.lastWordPosition = -1;
      spokenText_ = record.text;
      // Stop first, so that nothing of the last sentence arrives with the new
      // generation.
      speech_->Stop();
      ++generation_;
      return speech_->Speak(record.text, voice.voice, voice.rate, voice.volume);
    }
    case kSegPromptTone:
      doc.SetSelection(record.start, record.end);
      if (!PlayFile(media.currentPromptTone(), 0, 0)) {
        window_.Dialogs().ShowErrorTitled(&panel_, Q(text::kToneFailedTitle), Q(text::kToneFailed));
        return false;
      }
      return true;
    case kSegMusic: {
      doc.SetSelection(record.start, record.end);
      const SettingsRecord settings = panel_.Record();
      const int fade = settings.fadeOn ? settings.fadeSeconds : 0;
      if (!PlayFile(FileIn(media.directory().Music(), record.text), record.PlayTime(), fade)) {
        window_.Dialogs().ShowErrorTitled(&panel_, Q(record.text), Q(text::kMusicFailed));
        return false;
      }
      return true;
    }
    case kSegRecording:
      doc.SetSelection(record.start, record.end);
      if (!PlayFile(FileIn(media.directory().Record(), record.text), 0, 0)) {
        window_.Dialogs().ShowErrorTitled(&panel_, Q(record.text), Q(text::kRecordingFailed));
        return false;
      }
      return true;
    default:
      break;
  }
  // A pause of record.PauseMilliseconds().
  doc.SetSelection(record.start, record.end);
  if (!countdown_) {
    countdown_ = new PauseCountdownDialog(&window_, &panel_);
    connect(countdown_.data(), &PauseCountdownDialog::PauseDone, this, &PreviewEngine::OnPauseDone);
  }
  pausing_ = true;
  countdown_->Start(record.PauseMilliseconds());
  window_.setFocus(Qt::OtherFocusReason);
  return true;
}

void PreviewEngine::Advance() {
  if (!active_) return;
  // A failure's message box runs an event loop in which the preview may have
  // been stopped already.
  if (!PlayNext() && active_) EndPreview();
}

void PreviewEngine::OnPlayed(uint64_t generation) {
  if (!active_ || generation != generation_.load()) return;
  player_.Stop();
  Advance();
}

void PreviewEngine::OnPauseDone() {
  // Ignored unless a pause runs; a skip posted before a stop must not end the
  // pause of a preview started after it.
  if (!pausing_ || (countdown_ && countdown_->IsCounting())) return;
  pausing_ = false;
  if (window_.isMinimized() && countdown_) {
    // A new one is made at the next pause, placed over the restored window.
    countdown_->deleteLater();
    countdown_ = nullptr;
  }
  Advance();
}

void PreviewEngine::OnWord(uint64_t generation, WordBoundary word) {
  if (!active_ || generation != generation_.load() || !speech_->IsSpeaking()) return;
  const auto selection = FollowWord(spokenText_, word.offset, word.length, editorText_, follow_);
  if (!selection) return;
  window_.Editor().Document().SetSelection(selection->start, selection->end);
  if (wordSelected) wordSelected(selection->start, selection->end);
}

void PreviewEngine::OnSpeechEnd(uint64_t generation) {
  if (!active_ || generation != generation_.load() || !speech_->IsSpeaking()) return;
  Advance();
}

void PreviewEngine::Stop() {
  if (pausing_) {
    pausing_ = false;
    if (countdown_) countdown_->Cancel();
  }
  if (player_.IsRunning()) player_.Stop();
  EndPreview();
  // The end of the last sound may still be on its way to the loudspeaker.
  SilenceParkedStreams();
}

void PreviewEngine::EndPreview() {
  ++generation_;
  active_ = false;
  panel_.SetButtonText(panel::kPreviewAllId, Q(panel::kPreviewAllRestoredText));
  panel_.SetButtonText(panel::kPreviewFromCaretId, QString::fromUtf16(text::kPreviewRangeRestored));
  if (QAbstractScrollArea* scroll = ScrollArea(window_)) scroll->verticalScrollBar()->setValue(savedScroll_);
  window_.Editor().Document().SetSelection(savedStart_, savedEnd_);
  window_.Editor().Widget()->setFocus(Qt::OtherFocusReason);
  panel_.SetButtonEnabled(panel::kPreviewAllId, true);
  panel_.SetButtonEnabled(panel::kPreviewFromCaretId, true);
  panel_.SetButtonEnabled(panel::kOutputId, true);
  window_.SetPreviewState(1);
  window_.Editor().SetReadOnlyPreview(false);
  speech_->ReleaseVoice();
  if (ended) ended();
}

}  // namespace aurisona::shell
