// The MP3 output job: walks a compiled script and renders every record that
// carries sound (speech, prompt tone, music, recording, pause) as an MP3
// stream of its own; the streams are appended in order to one file.
//
// Pieces are made on a pool of threads with a bounded number in flight: a speech piece's
// sentence is synthesised there (side by side when the engine speaks in several worker
// processes) and then encoded, and pieces are written in order, so the file is byte for
// byte what a one-thread render gives. The voice of each sentence is chosen on the job's
// thread in the script's order. A sentence said again with the same voice, rate and volume
// reuses the piece of its first reading.
#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/audio/render.h"
#include "core/script/compiler.h"
#include "core/settings/settings_record.h"
#include "core/speech/speech_engine.h"

namespace aurisona {

class PieceCache;

inline constexpr std::u16string_view kOutputEmptyMessage = u"当前内容为空，不能合成输出！";
inline constexpr std::u16string_view kOutputDoneMessage =
    u"输出MP3完成，在相应文件夹中您可以找到生成的MP3文件！";
inline constexpr std::u16string_view kOutputDoneTitle = u"输出完成";
inline constexpr std::u16string_view kOutputFailedMessage = u"输出MP3失败，请检查磁盘空间或换一个文件名后重试！";
inline constexpr std::u16string_view kOutputProgressText = u"正在进行合成输出MP3，请稍等...";

struct OutputJobSettings {
  std::array<VoiceSlot, kVoiceSlotCount> voices;  // slot n at index n - 1
  PieceSettings pieces;                           // gains and the music fade
};

// The snapshot of a settings record the job works with.
OutputJobSettings OutputSettingsFrom(const SettingsRecord& record);

struct OutputJob {
  std::vector<Segment> segments;   // the compiled script; the walk changes it
  std::filesystem::path output;    // the MP3 file to write
  std::filesystem::path musicFolder;
  std::filesystem::path recordFolder;
  std::filesystem::path promptTone;  // empty when there is none
  // Folders searched first for clips and recordings (the media a listening
  // document carries, put aside without touching the data directory).
  std::filesystem::path overlayMusicFolder;
  std::filesystem::path overlayRecordFolder;
  OutputJobSettings settings;
  int threads = 0;                 // threads that synthesise and encode pieces; 0 = one per core
  // Measure only: every piece is rendered up to the encoder and its MP3 frames
  // are counted as the encoder would write them; no file is written.
  bool measureOnly = false;
  // A job that would write no piece at all fails (OutputResult::empty) and
  // leaves no file, instead of writing an empty one.
  bool requireSound = false;
  // Pieces made before are written from here, and new ones kept here (none when
  // null). A measuring job keeps only the pieces' lengths.
  std::shared_ptr<PieceCache> cache;
};

// One piece as it stands in the MP3, reported in order once it is written.
struct PieceTiming {
  size_t record = 0;        // index of its record in the segment list
  Segment segment;          // the record as rendered (voice after a swap)
  int pass = 1;             // which reading of a repeated span, from 1
  int voiceSlot = 0;        // speech: the voice slot that spoke it
  uint64_t firstFrame = 0;  // MP3 frames before the piece
  uint64_t frames = 0;      // MP3 frames of the piece (1152 samples at 44100 Hz each)
  uint32_t sourceRate = 0;  // measure only: sample rate of the piece's source PCM (0 from a rendered
                            // piece found in the cache)
  std::filesystem::path source;  // the file it was made from (empty for a pause)
};

struct OutputCallbacks {
  // The range of the record being rendered (the editor selects it).
  std::function<void(int start, int end)> segment;
  // The progress position, a character position that only grows.
  std::function<void(int position)> progress;
  // Every piece written, in order (called on the job's thread).
  std::function<void(const PieceTiming&)> piece;
};

enum class OutputStatus { kFinished, kAborted, kFailed };

struct OutputResult {
  OutputStatus status = OutputStatus::kFinished;
  std::string error;  // why it failed
  int pieces = 0;     // pieces written to the file
  uint64_t frames = 0;  // MP3 frames written (1152 samples at 44100 Hz each)
  bool empty = false;   // failed because nothing would be written (requireSound)
};

// Runs the job on the calling thread (which it may block for as long as the
// job lasts) and returns when the file is closed. `abort` is read twice per
// record; after it is set the pieces already started are finished and the
// file is kept. The MP3 is written beside the target and renamed into place at
// the end (finished or aborted); a failed job leaves no file under the name
// and never touches an existing one.
OutputResult RunOutputJob(OutputJob job, SpeechEngine& speech, const std::atomic<bool>& abort,
                          const OutputCallbacks& callbacks = {});

}  // namespace aurisona
