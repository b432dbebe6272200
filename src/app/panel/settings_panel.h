// The voice settings panel: the left pane of the main window.
//
// For each of the eight voice slots the user picks an installed voice, a speed
// and a volume; below them come the three output gains and the music fade, and
// the buttons that start a preview or the MP3 output. The panel loads its
// settings from setup.ini when it is built and writes them back on Save().
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <vector>

#include <QString>
#include <QWidget>

#include "app/panel/panel_controls.h"
#include "core/settings/settings_record.h"
#include "core/settings/ini_store.h"
#include "core/speech/voice.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QVBoxLayout;

namespace aurisona {

class SpeechEngine;

// The engine that speaks a voice, as its display name tells it ("Flite",
// "eSpeak NG", "Festival"); empty when it does not say.
QString VoiceEngineName(const Voice& voice);
// What a voice list shows for a voice: its name and its engine, so that like
// names from two engines ("美语女声 · Flite", "美音女声 · eSpeak NG") can be told
// apart. The list entry's data is the name alone, which setup.ini stores.
QString VoiceListLabel(const Voice& voice);

class SettingsPanel : public QWidget {
  Q_OBJECT

 public:
  // Builds the controls, fills the voice lists from `voices` (distributed by
  // gender and language) and loads the settings from `settingsFile`.
  SettingsPanel(const std::vector<Voice>& voices, std::filesystem::path settingsFile,
                QWidget* parent = nullptr);
  // The same with the voices the engine has installed.
  SettingsPanel(SpeechEngine& speech, std::filesystem::path settingsFile, QWidget* parent = nullptr);

  // Writes every setting of the panel to setup.ini; false when the file could
  // not be written (the panel keeps its values).
  bool Save();

  // What the controls of slot 1..8 show: the voice list's voice name, the speed
  // position - 10 and (volume position + 1) * 10. Nothing for other slots.
  std::optional<VoiceSlot> VoiceSlotQuery(int slot) const;

  // The settings as they stand now: every voice slot from VoiceSlotQuery, the
  // gains and the fade. What a preview or an output job starts with.
  SettingsRecord Record() const;

  // The control with the given id (see panel_controls.h), or nullptr.
  QWidget* Control(int id) const;

  // The buttons' texts and states, changed while a preview runs.
  void SetButtonText(int id, const QString& text);
  void SetButtonEnabled(int id, bool enabled);
  // Every button back to its first text, enabled.
  void ResetButtons();

  // Sends the command of a button (kPreviewAllId, kPreviewFromCaretId, kOutputId) as if it had been clicked,
  // from the event loop. False, and nothing sent, for any other id.
  bool PostCommand(int id);

 signals:
  // A button was clicked or its command posted: kPreviewAllId,
  // kPreviewFromCaretId or kOutputId.
  void commandRequested(int id);

 protected:
  // Enter and Escape do nothing in the panel.
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  struct VoiceRow {
    QComboBox* voice = nullptr;
    QComboBox* speed = nullptr;
    QComboBox* volume = nullptr;
  };
  struct GainRow {
    QCheckBox* automatic = nullptr;
    QCheckBox* fixed = nullptr;
    QLineEdit* percent = nullptr;
    QLabel* percentSign = nullptr;
  };

  void BuildControls();
  void BuildVoiceGroups(QVBoxLayout* outer);
  QGroupBox* BuildOutputGroup();
  QHBoxLayout* BuildButtons();
  void FillLists(const std::vector<Voice>& voices);
  void Load();
  // Widths that depend on the style and font: captions over their columns,
  // the row label column, the number edits.
  void FitColumns();
  void ShowGain(size_t row);
  void ApplyGainEnabling(size_t row);
  void BuildLoudnessAndSubtitles(QWidget* output, QGridLayout* grid, int row);
  GainGroup& GainOf(size_t row);
  QPushButton* Button(int id) const;

  IniStore store_;
  // Gains and fade; the voice slots live in the lists.
  SettingsRecord record_;
  std::array<VoiceRow, kVoiceSlotCount> voiceRows_{};  // slot n at index n - 1
  std::array<QLabel*, kVoiceSlotCount> rowLabels_{};
  std::array<QGridLayout*, panel::kVoiceGroupTitles.size()> voiceGrids_{};
  QLabel* speedCaption_ = nullptr;
  QLabel* volumeCaption_ = nullptr;
  std::array<GainRow, panel::kGainRows.size()> gainRows_{};
  QCheckBox* fadeBox_ = nullptr;
  QLineEdit* fadeEdit_ = nullptr;
  QCheckBox* loudnessBox_ = nullptr;
  QSpinBox* loudnessTarget_ = nullptr;
  QCheckBox* subtitlesBox_ = nullptr;
  std::array<QPushButton*, panel::kButtons.size()> buttons_{};
};

}  // namespace aurisona
