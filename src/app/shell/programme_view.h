// The programme view: a strip along the editor that shows the programme the
// output would make, piece by piece in time order (speech coloured by voice
// slot, pauses, prompt tones, music, recordings, the passes of repeats), with
// a time scale and the total. It is measured on a worker thread a moment
// after the script last changed; a newer change cancels the run in progress.
// Clicking a block puts the caret on its sentence or mark.
#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/media/media_lists.h"
#include "core/output/output_job.h"
#include "core/output/timeline.h"
#include "core/script/script_document.h"

namespace aurisona {
class SpeechEngine;
}

namespace aurisona::shell {

enum class BlockKind { kSpeech, kPause, kTone, kMusic, kRecording };

// One piece of the programme as the strip shows it.
struct ProgrammeBlock {
  BlockKind kind = BlockKind::kSpeech;
  double start = 0;   // seconds from the start of the MP3
  double length = 0;  // seconds
  int voiceSlot = 0;  // speech: 1..8
  int pass = 1;       // which reading of its repeat
  int repeat = -1;    // index of its repeat in the script's list of repeats, -1 outside one
  int position = 0;   // where its record starts in the script
  std::u16string label;  // the words, the file, or the pause
  // Speech: where each sentence starts, in seconds, and its place in the script.
  std::vector<std::pair<double, int>> sentences;
};

// The blocks of a measured timeline; `segments` is the compiled script the
// job walked (before the walk), which says where each record stands and which
// repeat holds it, and `script` the text it was compiled from.
std::vector<ProgrammeBlock> BlocksFromTimeline(const Timeline& timeline, const std::vector<Segment>& segments,
                                               std::u16string_view script);

// Copies a script document (its text and its marks' records) into a fresh one,
// so that compiling the copy cannot change the original.
void CopyScriptDocument(const ScriptDocument& from, ScriptDocument& to);

// What a measure needs: the job (segments compiled, media and settings filled
// in) and the engine that speaks it. `missing` names clips and recordings
// that are not there (then nothing is measured).
struct ProgrammeRequest {
  OutputJob job;
  std::u16string script;  // the text the job was compiled from
  SpeechEngine* speech = nullptr;
  QString missing;
};

class ProgrammeView final : public QWidget {
  Q_OBJECT

 public:
  explicit ProgrammeView(QWidget* parent = nullptr);
  ~ProgrammeView() override;

  // Makes the request for the script as it is now; std::nullopt when nothing
  // can be measured yet (no settings panel).
  std::function<std::optional<ProgrammeRequest>()> prepare;

  // The script changed: measured again once it has rested for the delay.
  void ScriptChanged();
  // While the editor is read-only (a preview plays) nothing is measured; a
  // run in progress is cancelled and made again afterwards.
  void SetPaused(bool paused);
  // Starts a measure now (the debounce skipped).
  void MeasureNow();
  // Cancels any measure and waits for its thread: called before the speech
  // engine it uses goes away.
  void Cancel();

  void SetDelay(int milliseconds) { debounce_.setInterval(milliseconds); }
  bool IsMeasuring() const { return worker_.joinable(); }
  bool IsStale() const { return stale_; }
  const std::vector<ProgrammeBlock>& Blocks() const { return blocks_; }
  double TotalSeconds() const { return total_; }
  QString Message() const { return message_; }
  // Where a block is drawn, in this widget's coordinates (for clicks and tests).
  QRect BlockRect(size_t index) const;
  // The block under a point, or -1.
  int BlockAt(const QPoint& point) const;
  // The script position a click at `point` leads to: the sentence under it,
  // or the block's mark; -1 outside every block.
  int PositionAt(const QPoint& point) const;
  // The text of the block's tooltip.
  QString ToolTipFor(size_t index) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  // The user clicked a block: the caret goes to `position`.
  void PositionClicked(int position);
  // A measure has finished and the blocks are new.
  void Measured();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Run;
  void Start();
  void Finish(unsigned generation, std::vector<ProgrammeBlock> blocks, double total, QString message);
  QRect StripRect() const;
  double Scale() const;

  QTimer debounce_;
  std::thread worker_;
  std::shared_ptr<std::atomic<bool>> abort_;
  unsigned generation_ = 0;
  bool pending_ = false;  // another run is wanted once the current one ends
  bool paused_ = false;
  bool stale_ = true;     // the blocks are of an older script
  std::vector<ProgrammeBlock> blocks_;
  double total_ = 0;
  QString message_;
};

}  // namespace aurisona::shell
