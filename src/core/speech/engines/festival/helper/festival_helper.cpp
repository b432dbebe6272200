// aurisona-festival: Festival's HTS voice behind the socket of festival_protocol.h.
//
// Started by the Festival engine with the socket on descriptor 3 and the standard
// streams on /dev/null; ends when the engine closes its end.
#include <festival/festival.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "core/speech/engines/festival/festival_protocol.h"

namespace {

namespace protocol = aurisona::festival_protocol;

// Scheme cells of Festival's heap. Smaller heaps are faster but run out on some inputs
// (a run of brackets), which ends the process.
constexpr int kHeapCells = 1000000;

bool IsWordByte(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Where the first segment of a word starts, in seconds; negative when it has none.
float WordStart(EST_Item* word) {
  EST_Item* syllable = daughter1(as(word, "SylStructure"));
  EST_Item* segment = syllable ? daughter1(syllable) : nullptr;
  if (!segment) return -1.0f;
  EST_Item* previous = iprev(as(segment, "Segment"));
  return previous ? previous->F("end", 0.0f) : 0.0f;
}

// HTS's speed factor for rate -10..10, 3^(rate/10), times `factor`: 2 speaks twice as fast.
std::string SpeedCommand(int rate, double factor) {
  char number[32];
  const double speed = std::pow(3.0, std::clamp(rate, -10, 10) / 10.0) * factor;
  const auto [end, error] = std::to_chars(number, number + sizeof number, speed, std::chars_format::fixed, 4);
  const std::string text = error == std::errc() ? std::string(number, end) : std::string("1.0");
  return "(set! hts_engine_params (append cmu_us_slt_arctic_hts::hts_engine_params (list (list \"-r\" " + text +
         "))))";
}

// The words of the utterance: each token that has sound, found in the text in order,
// without the punctuation Festival kept in its name.
std::vector<protocol::Word> Words(EST_Utterance* utt, const std::string& text, int sample_rate) {
  std::vector<protocol::Word> words;
  if (!utt->relation_present("Token")) return words;
  size_t cursor = 0;
  int64_t last_sample = 0;
  for (EST_Item* token = utt->relation("Token")->head(); token; token = inext(token)) {
    const std::string name = token->S("name", "").str();
    if (name.empty()) continue;
    const size_t at = text.find(name, cursor);
    if (at == std::string::npos) continue;
    cursor = at + name.size();
    float start = -1.0f;
    for (EST_Item* word = daughter1(token); word && start < 0; word = inext(word)) start = WordStart(word);
    if (start < 0) continue;
    size_t begin = at;
    size_t end = at + name.size();
    while (begin < end && !IsWordByte(text[begin])) ++begin;
    while (end > begin && !IsWordByte(text[end - 1])) --end;
    if (begin == end) continue;
    const int64_t sample = std::max(last_sample, static_cast<int64_t>(std::lround(start * sample_rate)));
    last_sample = sample;
    words.push_back({static_cast<int32_t>(begin), static_cast<int32_t>(end - begin), sample});
  }
  return words;
}

protocol::Response Synthesise(const protocol::Request& request) {
  protocol::Response response;
  if (std::none_of(request.text.begin(), request.text.end(), IsWordByte)) {
    response.status = protocol::Status::kNoWords;
    return response;
  }
  if (!festival_eval_command(SpeedCommand(request.rate, request.speed).c_str())) return response;
  // A quoted Scheme string: nothing in the text is evaluated.
  const EST_String command = EST_String("(set! aurisona_utterance (SynthText ") +
                             quote_string(EST_String(request.text.c_str()), "\"", "\\", 1) + "))";
  const bool spoken = festival_eval_command(command) != 0;
  LISP value = siod_get_lval("aurisona_utterance", nullptr);
  if (spoken && value && utterance_p(value)) {
    EST_Utterance* utt = utterance(value);
    EST_Item* item = utt->relation_present("Wave") ? utt->relation("Wave")->head() : nullptr;
    EST_Wave* w = item && item->f_present("wave") ? wave(item->f("wave")) : nullptr;
    if (w && w->sample_rate() > 0 && w->num_channels() == 1 && w->num_samples() >= 0) {
      response.sample_rate = w->sample_rate();
      response.samples.resize(static_cast<size_t>(w->num_samples()));
      for (int i = 0; i < w->num_samples(); ++i) response.samples[static_cast<size_t>(i)] = w->a_no_check(i);
      response.words = Words(utt, request.text, response.sample_rate);
      response.status = response.words.empty() ? protocol::Status::kNoWords : protocol::Status::kOk;
    }
  }
  festival_eval_command("(set! aurisona_utterance nil)");
  return response;
}

}  // namespace

int main() {
  festival_initialize(1, kHeapCells);
  if (!festival_eval_command("(voice_cmu_us_slt_arctic_hts)")) return 1;
  if (!protocol::SendReady(protocol::kHelperFd)) return 1;
  for (protocol::Request request; protocol::ReceiveRequest(protocol::kHelperFd, &request);) {
    if (!protocol::SendResponse(protocol::kHelperFd, Synthesise(request))) return 1;
  }
  return 0;
}
