#include "app/shell/programme_view.h"

#include <QHelpEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <cmath>

#include "core/script/marks.h"
#include "core/speech/voice_slots.h"

namespace aurisona::shell {
namespace {

constexpr int kDefaultDelayMs = 1200;
constexpr int kRulerHeight = 16;
constexpr int kBlockHeight = 24;
constexpr int kPassHeight = 12;
constexpr int kMargin = 4;
constexpr int kTotalWidth = 96;  // the total's place at the right end

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

// The strip is drawn in the editor's colours (dark on light) in every skin.
const QColor kBackground(0xfd, 0xfd, 0xfb);
const QColor kInk(0x20, 0x22, 0x26);
const QColor kFaint(0x8a, 0x8f, 0x96);

// Voice slots 1..8: Chinese male, Chinese female, English male, English
// female of set 0, then set 1; set 1 is a darker shade of set 0.
const QColor kVoiceColours[kVoiceSlotCount] = {
    QColor(0x4f, 0x86, 0xc6), QColor(0xd9, 0x6b, 0x8f), QColor(0x3f, 0xa3, 0x7a), QColor(0xe0, 0x8a, 0x3c),
    QColor(0x2e, 0x5c, 0x94), QColor(0xa8, 0x45, 0x68), QColor(0x27, 0x73, 0x55), QColor(0xb0, 0x62, 0x1e)};
const QColor kToneColour(0xe8, 0xc5, 0x2a);
const QColor kMusicColour(0x8e, 0x5c, 0xc4);
const QColor kRecordingColour(0xc6, 0x3c, 0x3c);
const QColor kPauseColour(0xe4, 0xe6, 0xe9);

const char16_t* const kSlotNames[kVoiceSlotCount] = {u"中文男声", u"中文女声", u"英语男声", u"英语女声",
                                                     u"中文男声1", u"中文女声1", u"英语男声1", u"英语女声1"};

QColor BlockColour(const ProgrammeBlock& block) {
  switch (block.kind) {
    case BlockKind::kSpeech:
      return block.voiceSlot >= 1 && block.voiceSlot <= kVoiceSlotCount ? kVoiceColours[block.voiceSlot - 1] : kFaint;
    case BlockKind::kPause: return kPauseColour;
    case BlockKind::kTone: return kToneColour;
    case BlockKind::kMusic: return kMusicColour;
    case BlockKind::kRecording: return kRecordingColour;
  }
  return kFaint;
}

QString Seconds(double seconds) { return QString::number(seconds, 'f', seconds < 10 ? 1 : 0); }

QString Clock(double seconds) {
  const long total = std::lround(std::max(seconds, 0.0));
  return QStringLiteral("%1:%2").arg(total / 60).arg(total % 60, 2, 10, QLatin1Char('0'));
}

// The repeat each record lies in, by the index of its repeat, or -1.
std::vector<int> RepeatOfRecords(const std::vector<Segment>& segments) {
  std::vector<int> repeatOf(segments.size(), -1);
  int repeats = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    const int32_t kind = segments[i].kind;
    if (kind != kSegRepeatBegin && kind != kSegAltRepeatBegin) continue;
    const int32_t endKind = kind == kSegRepeatBegin ? kSegRepeatEnd : kSegAltRepeatEnd;
    size_t end = i + 1;
    while (end < segments.size() && segments[end].kind != endKind) ++end;
    for (size_t j = i + 1; j < end; ++j) repeatOf[j] = repeats;
    ++repeats;
    i = end;
  }
  return repeatOf;
}

// The script position of every character of a speech record's text. The
// compiler writes voice marks as blanks and joins runs with one blank of its
// own, which stands nowhere in the script (it gets the next character's place).
std::vector<int> ScriptPositions(const Segment& segment, std::u16string_view script) {
  std::vector<int> positions(segment.text.size() + 1, segment.end);
  size_t j = static_cast<size_t>(std::max(segment.start, 0));
  const size_t end = std::min(script.size(), static_cast<size_t>(std::max(segment.end, 0)));
  for (size_t i = 0; i < segment.text.size(); ++i) {
    const char16_t c = segment.text[i];
    while (j < end && c != script[j] && !(c == u' ' && script[j] == kMarkChar)) {
      if (c == u' ') break;  // a blank of the compiler's
      ++j;
    }
    positions[i] = static_cast<int>(std::min(j, end));
    if (j < end && (c == script[j] || (c == u' ' && script[j] == kMarkChar))) ++j;
  }
  return positions;
}

}  // namespace

std::vector<ProgrammeBlock> BlocksFromTimeline(const Timeline& timeline, const std::vector<Segment>& segments,
                                               std::u16string_view script) {
  const std::vector<int> repeatOf = RepeatOfRecords(segments);
  std::vector<ProgrammeBlock> blocks;
  blocks.reserve(timeline.entries.size());
  for (const TimelineEntry& entry : timeline.entries) {
    const PieceTiming& piece = entry.piece;
    const Segment& segment = piece.segment;
    ProgrammeBlock block;
    block.start = entry.start;
    block.length = entry.length;
    block.pass = piece.pass;
    block.repeat = piece.record < repeatOf.size() ? repeatOf[piece.record] : -1;
    block.position = segment.start;
    if (segment.kind == kSegSpeech) {
      block.kind = BlockKind::kSpeech;
      block.voiceSlot = piece.voiceSlot;
      const std::vector<SentenceSpan> spans = SplitSentences(segment.text);
      const std::vector<int> positions = ScriptPositions(segment, script);
      for (const SentenceSpan& span : spans) block.label += (block.label.empty() ? u"" : u" ") + span.text;
      // The sentences as the timeline found them, in the order they were split.
      for (size_t i = 0; i < spans.size(); ++i) {
        const double at = i < entry.sentences.size() && entry.sentences.size() == spans.size()
                              ? entry.sentences[i].start
                              : entry.start + entry.length * double(i) / double(spans.size());
        // The sentence starts at its first character that is not a blank.
        size_t first = static_cast<size_t>(spans[i].offset);
        while (first < segment.text.size() && (segment.text[first] == u' ' || segment.text[first] == u'\r' ||
                                               segment.text[first] == u'\n')) {
          ++first;
        }
        block.sentences.emplace_back(at, positions[std::min(first, positions.size() - 1)]);
      }
    } else if (segment.kind == kSegPromptTone) {
      block.kind = BlockKind::kTone;
      block.label = u"提示音";
    } else if (segment.kind == kSegMusic || segment.kind == kSegRecording) {
      block.kind = segment.kind == kSegMusic ? BlockKind::kMusic : BlockKind::kRecording;
      block.label = segment.text;
    } else {
      block.kind = BlockKind::kPause;
      block.label = u"暂停";
    }
    blocks.push_back(std::move(block));
  }
  return blocks;
}

void CopyScriptDocument(const ScriptDocument& from, ScriptDocument& to) {
  const std::u16string text = from.Text(0, -1);
  to.SetSelection(0, -1);
  to.ReplaceSelection(u"", false);
  to.ClearMarks();
  size_t run = 0;
  auto flush = [&](size_t end) {
    if (end > run) to.ReplaceSelection(std::u16string_view(text).substr(run, end - run), false);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != kMarkChar) continue;
    const std::optional<MarkRecord> record = from.MarkAt(static_cast<int>(i));
    if (!record) continue;
    flush(i);
    to.InsertMark(*record, false);
    run = i + 1;
  }
  flush(text.size());
}

ProgrammeView::ProgrammeView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("programmeView"));
  setMouseTracking(true);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  debounce_.setSingleShot(true);
  debounce_.setInterval(kDefaultDelayMs);
  connect(&debounce_, &QTimer::timeout, this, &ProgrammeView::Start);
}

ProgrammeView::~ProgrammeView() { Cancel(); }

void ProgrammeView::Cancel() {
  debounce_.stop();
  pending_ = false;
  if (abort_) abort_->store(true);
  if (worker_.joinable()) worker_.join();
}

QSize ProgrammeView::sizeHint() const {
  return {400, kMargin + kRulerHeight + kBlockHeight + kPassHeight + kMargin};
}
QSize ProgrammeView::minimumSizeHint() const { return {120, sizeHint().height()}; }

void ProgrammeView::ScriptChanged() {
  stale_ = true;
  if (abort_) abort_->store(true);  // what it measures is out of date
  if (worker_.joinable()) pending_ = true;
  if (!paused_) debounce_.start();
  update();
}

void ProgrammeView::SetPaused(bool paused) {
  if (paused == paused_) return;
  paused_ = paused;
  if (paused) {
    debounce_.stop();
    if (worker_.joinable()) {
      abort_->store(true);
      pending_ = true;
    }
  } else if (stale_ || pending_) {
    debounce_.start();
  }
}

void ProgrammeView::MeasureNow() {
  debounce_.stop();
  Start();
}

void ProgrammeView::Start() {
  if (paused_ || !prepare) return;
  if (worker_.joinable()) {
    // One run at a time: the newer script is measured when this one ends.
    abort_->store(true);
    pending_ = true;
    return;
  }
  pending_ = false;
  std::optional<ProgrammeRequest> request = prepare();
  if (!request) return;
  const unsigned generation = ++generation_;
  if (!request->missing.isEmpty() || request->speech == nullptr) {
    Finish(generation, {}, 0, request->missing);
    return;
  }
  abort_ = std::make_shared<std::atomic<bool>>(false);
  request->job.measureOnly = true;
  request->job.threads = 1;  // typing keeps the other core
  std::vector<Segment> walked = request->job.segments;
  update();
  worker_ = std::thread([this, generation, stop = abort_, job = std::move(request->job), segments = std::move(walked),
                         script = std::move(request->script), speech = request->speech]() mutable {
    Timeline timeline;
    const OutputResult result = RunOutputJobWithTimeline(std::move(job), *speech, *stop, {}, &timeline);
    std::vector<ProgrammeBlock> found;
    QString why;
    if (result.status == OutputStatus::kFailed) {
      why = QString::fromStdString(result.error);
    } else {
      found = BlocksFromTimeline(timeline, segments, script);
    }
    const double seconds = timeline.seconds();
    const bool aborted = stop->load() || result.status == OutputStatus::kAborted;
    QMetaObject::invokeMethod(
        this,
        [this, generation, measured = std::move(found), seconds, why, aborted]() mutable {
          if (worker_.joinable()) worker_.join();
          if (!aborted) Finish(generation, std::move(measured), seconds, why);
          if (pending_ && !paused_) debounce_.start();
          update();
        },
        Qt::QueuedConnection);
  });
}

void ProgrammeView::Finish(unsigned generation, std::vector<ProgrammeBlock> blocks, double total, QString message) {
  if (generation != generation_ || pending_) return;
  blocks_ = std::move(blocks);
  total_ = total;
  message_ = std::move(message);
  stale_ = false;
  update();
  emit Measured();
}

QRect ProgrammeView::StripRect() const {
  return QRect(kMargin, kMargin + kRulerHeight, std::max(1, width() - 2 * kMargin - kTotalWidth), kBlockHeight);
}

double ProgrammeView::Scale() const { return total_ > 0 ? StripRect().width() / total_ : 0; }

QRect ProgrammeView::BlockRect(size_t index) const {
  if (index >= blocks_.size()) return {};
  const QRect strip = StripRect();
  const double scale = Scale();
  const ProgrammeBlock& b = blocks_[index];
  const int left = strip.left() + static_cast<int>(std::floor(b.start * scale));
  const int right = strip.left() + static_cast<int>(std::floor((b.start + b.length) * scale));
  return QRect(left, strip.top(), std::max(1, right - left), strip.height());
}

int ProgrammeView::BlockAt(const QPoint& point) const {
  const QRect strip = StripRect();
  if (point.y() < strip.top() || point.y() >= strip.bottom() + kPassHeight) return -1;
  for (size_t i = 0; i < blocks_.size(); ++i) {
    const QRect r = BlockRect(i);
    if (point.x() >= r.left() && point.x() <= r.right()) return static_cast<int>(i);
  }
  return -1;
}

int ProgrammeView::PositionAt(const QPoint& point) const {
  const int index = BlockAt(point);
  if (index < 0) return -1;
  const ProgrammeBlock& b = blocks_[static_cast<size_t>(index)];
  int position = b.position;
  const double scale = Scale();
  const double at = scale > 0 ? (point.x() - StripRect().left()) / scale : 0;
  for (const auto& [start, where] : b.sentences) {
    if (start <= at || where == b.sentences.front().second) position = where;
  }
  return position;
}

QString ProgrammeView::ToolTipFor(size_t index) const {
  if (index >= blocks_.size()) return {};
  const ProgrammeBlock& b = blocks_[index];
  QString kind;
  switch (b.kind) {
    case BlockKind::kSpeech:
      kind = b.voiceSlot >= 1 && b.voiceSlot <= kVoiceSlotCount ? QString::fromUtf16(kSlotNames[b.voiceSlot - 1])
                                                                 : QStringLiteral("语音");
      break;
    case BlockKind::kPause: kind = QStringLiteral("暂停"); break;
    case BlockKind::kTone: kind = QStringLiteral("提示音"); break;
    case BlockKind::kMusic: kind = QStringLiteral("音乐"); break;
    case BlockKind::kRecording: kind = QStringLiteral("录音"); break;
  }
  QString tip = QStringLiteral("%1：%2秒（%3 起）").arg(kind, Seconds(b.length), Clock(b.start));
  if (b.repeat >= 0) tip += QStringLiteral("，第%1遍").arg(b.pass);
  if (b.kind == BlockKind::kSpeech || b.kind == BlockKind::kMusic || b.kind == BlockKind::kRecording) {
    QString label = Q(b.label);
    if (label.size() > 120) label = label.left(120) + QStringLiteral("…");
    tip += u'\n' + label;
  }
  return tip;
}

bool ProgrammeView::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int index = BlockAt(help->pos());
    if (index >= 0) {
      QToolTip::showText(help->globalPos(), ToolTipFor(static_cast<size_t>(index)), this, BlockRect(size_t(index)));
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QWidget::event(event);
}

void ProgrammeView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const int position = PositionAt(event->position().toPoint());
    if (position >= 0) {
      emit PositionClicked(position);
      event->accept();
      return;
    }
  }
  QWidget::mousePressEvent(event);
}

void ProgrammeView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  p.setPen(kFaint);
  p.drawLine(0, 0, width(), 0);
  const QRect strip = StripRect();
  QFont small = font();
  small.setPointSizeF(std::max(7.0, font().pointSizeF() * 0.85));
  p.setFont(small);
  const QFontMetrics metrics(small);

  // The total (or what stands in its place) at the right end.
  const QRect totalRect(strip.right() + kMargin, kMargin, kTotalWidth, height() - 2 * kMargin);
  QString total;
  if (!message_.isEmpty()) {
    total = QStringLiteral("无法计算");
  } else if (blocks_.empty() && !stale_) {
    total = QStringLiteral("无内容");
  } else if (total_ > 0) {
    total = QStringLiteral("总长 ") + Clock(total_);
  }
  if (worker_.joinable() || (stale_ && prepare && !paused_)) total += QStringLiteral("\n正在计算…");
  p.setPen(kInk);
  p.drawText(totalRect, Qt::AlignVCenter | Qt::AlignLeft, total);

  if (!message_.isEmpty()) {
    p.setPen(kRecordingColour);
    p.drawText(strip, Qt::AlignVCenter | Qt::AlignLeft, metrics.elidedText(message_, Qt::ElideRight, strip.width()));
    return;
  }
  if (blocks_.empty() || total_ <= 0) return;
  const double scale = Scale();

  // Time scale: a tick at every step that leaves room for its label.
  static const int kSteps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
  int step = kSteps[std::size(kSteps) - 1];
  const int labelWidth = metrics.horizontalAdvance(QStringLiteral("00:00")) + 12;
  for (const int s : kSteps) {
    if (s * scale >= labelWidth) {
      step = s;
      break;
    }
  }
  p.setPen(kFaint);
  for (int t = 0; t <= total_; t += step) {
    const int x = strip.left() + static_cast<int>(t * scale);
    p.drawLine(x, strip.top() - 4, x, strip.top() - 1);
    p.drawText(QRect(x + 2, kMargin, labelWidth, kRulerHeight - 4), Qt::AlignLeft | Qt::AlignVCenter, Clock(t));
  }

  // Blocks; the script's older state is shown faded until the new one is measured.
  p.setOpacity(stale_ ? 0.45 : 1.0);
  for (size_t i = 0; i < blocks_.size(); ++i) {
    const ProgrammeBlock& b = blocks_[i];
    QRect r = BlockRect(i);
    const QColor colour = BlockColour(b);
    if (b.kind == BlockKind::kPause) {
      p.fillRect(r, colour);
      if (r.width() > 6) {
        p.setPen(kFaint);
        p.drawText(r, Qt::AlignCenter, metrics.elidedText(QStringLiteral("‖"), Qt::ElideRight, r.width()));
      }
      continue;
    }
    p.fillRect(r, colour);
    // Later passes of a repeat are hatched over.
    if (b.pass > 1) p.fillRect(r, QBrush(QColor(255, 255, 255, 90), Qt::BDiagPattern));
    p.setPen(colour.darker(140));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    // Sentence boundaries inside a speech block.
    for (size_t s = 1; s < b.sentences.size(); ++s) {
      const int x = strip.left() + static_cast<int>(b.sentences[s].first * scale);
      if (x > r.left() + 1 && x < r.right() - 1) p.drawLine(x, r.top() + 4, x, r.bottom() - 4);
    }
    if (r.width() > 24) {
      const bool dark = colour.lightness() < 150;
      p.setPen(dark ? Qt::white : kInk);
      p.drawText(r.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                 metrics.elidedText(Q(b.label), Qt::ElideRight, r.width() - 5));
    }
  }

  // The passes of each repeat under the blocks: one bracket per pass.
  const int bandTop = strip.bottom() + 2;
  for (size_t i = 0; i < blocks_.size();) {
    const ProgrammeBlock& b = blocks_[i];
    size_t j = i + 1;
    if (b.repeat < 0) {
      i = j;
      continue;
    }
    while (j < blocks_.size() && blocks_[j].repeat == b.repeat && blocks_[j].pass == b.pass) ++j;
    const int left = BlockRect(i).left();
    const int right = BlockRect(j - 1).right();
    const QRect band(left, bandTop, std::max(1, right - left), kPassHeight - 2);
    p.setPen(kInk);
    p.drawLine(band.left(), band.top(), band.left(), band.bottom());
    p.drawLine(band.left(), band.bottom(), band.right(), band.bottom());
    p.drawLine(band.right(), band.top(), band.right(), band.bottom());
    const QString label = QStringLiteral("第%1遍").arg(b.pass);
    if (band.width() > metrics.horizontalAdvance(label) + 4) {
      p.drawText(band.adjusted(2, -3, 0, 0), Qt::AlignCenter, label);
    }
    i = j;
  }
}

}  // namespace aurisona::shell
