// Rendering of one audio piece of the MP3 output: a WAV or MP3 source file,
// or a pause of silence, decoded, measured, gain-adjusted, faded (music) and
// encoded as an MP3 stream of its own.
//
// Every operation is self-contained (its own decoder and encoder, no global
// state), so pieces may be rendered concurrently on different threads, each
// into its own sink. Memory per piece is bounded; no source is held whole.
//
// The ByteSink overloads encode with a PieceEncoder; the PcmSink overloads
// hand the processed PCM (16-bit interleaved stereo at the source's rate) to
// any PcmSink instead.
//
// Guarantee: unless the result is Rendered (or OutOfMemory / WriteFailed,
// which end the job), nothing was appended to the sink.
#pragma once

#include <cstdint>
#include <filesystem>

#include "core/audio/loudness.h"
#include "core/audio/pcm.h"
#include "core/audio/piece_encoder.h"

namespace aurisona {

// The output job's record kinds that carry a sound file.
enum class PieceKind : int {
  Speech = 0,      // text gain group
  PromptTone = 1,  // music gain group
  Music = 2,       // music gain group; the music fade applies
  Recording = 3,   // recording gain group
};

struct PieceSettings {
  PieceGain text;
  PieceGain music;
  PieceGain recording;
  bool musicFade = false;
  int32_t fadeSeconds = 0;  // 1..10 in the settings
  // When on, every sound file piece is brought to the target loudness and the
  // three gain groups are not used.
  LoudnessSettings loudness;
  // Set where a measured gain comes after (the loudness gain): clips and
  // recordings lose their DC and infrasound as under the automatic gain.
  bool removeInfrasound = false;
};

// Sample rates of WAV sources that are read (and brought to a rate the
// encoder takes); others are Undecodable.
inline constexpr uint32_t kMinSourceSampleRate = 1000;
inline constexpr uint32_t kMaxSourceSampleRate = 384000;

enum class [[nodiscard]] RenderResult {
  Rendered,         // the piece's MP3 frames were appended
  NothingAdded,     // a source that holds no sound (a WAV of no frames, a pause of 0): nothing appended
  Undecodable,      // missing, unreadable or undecodable source, or a sample rate outside
                    // kMinSourceSampleRate..kMaxSourceSampleRate: nothing appended
  UnsupportedType,  // the path ends neither in ".mp3" nor ".wav": nothing appended
  OutOfMemory,      // a buffer could not be allocated: the job must end
  WriteFailed,      // the sink failed: the job must end and report the failure
};

enum class SourceType { Mp3, Wav, Unknown };

// True for a file that starts as a RIFF "WAVE" file; only those are read as WAV.
bool HasRiffWaveHeader(const std::filesystem::path& path);
// A sample as libsndfile reads it (-1.0 .. 1.0) as 16-bit PCM: 16-bit data comes
// back unchanged, deeper data rounded, values outside the range clipped, NaN 0.
int16_t FloatToPcm16(float value);

// ".mp3" or ".wav" at the end of the path, ignoring the case of the letters.
SourceType SourceTypeOf(const std::filesystem::path& path);

// The gain group a piece kind uses.
const PieceGain& PieceGainOf(const PieceSettings& settings, PieceKind kind);

// Renders a source file by its ending: MP3 with RenderMp3Source (playTime
// used), WAV with RenderWavSource, any other ending adds nothing
// (UnsupportedType). This is the call the output job makes per sound piece.
// With loudness normalisation on, the piece is first rendered into a
// LoudnessMeter and then encoded with the gain that meter calls for.
RenderResult RenderSoundFile(const std::filesystem::path& path, PieceKind kind,
                             int32_t playTimeSeconds, const PieceSettings& settings,
                             ByteSink& sink);

// A WAV file read through libsndfile: whatever data it decodes is converted
// to 16 bits. Mono stays mono until widened; a file with more than two
// channels is mixed down to two, every channel in. Rates from
// kMinSourceSampleRate to kMaxSourceSampleRate are read. Clips and
// recordings whose gain is measured (automatic gain, loudness) lose their DC
// and infrasound first; so do MP3 sources.
RenderResult RenderWavSource(const std::filesystem::path& path, PieceKind kind,
                             const PieceSettings& settings, ByteSink& sink);
RenderResult RenderWavSource(const std::filesystem::path& path, PieceKind kind,
                             const PieceSettings& settings, PcmSink& sink);

// An MP3 file decoded with libmpg123, cut to `playTimeSeconds` when above 0.
// Decoding stops at a change of sample rate or channel count.
RenderResult RenderMp3Source(const std::filesystem::path& path, PieceKind kind,
                             int32_t playTimeSeconds, const PieceSettings& settings,
                             ByteSink& sink);
RenderResult RenderMp3Source(const std::filesystem::path& path, PieceKind kind,
                             int32_t playTimeSeconds, const PieceSettings& settings,
                             PcmSink& sink);

// `milliseconds` of digital silence at 44100 Hz stereo: ms * 17640 / 100
// bytes, rounded down to whole stereo frames. 0 or less adds nothing.
RenderResult RenderSilence(int32_t milliseconds, ByteSink& sink);
RenderResult RenderSilence(int32_t milliseconds, PcmSink& sink);

// Longest piece, in bytes of 16-bit PCM; longer sources are cut here.
inline constexpr uint64_t kMaxPieceBytes = 0xFFFFFFFCull;

}  // namespace aurisona
