// The left pane's content: the settings panel, which starts preview and
// output and keeps the settings record.
#pragma once

class QWidget;

namespace aurisona::shell {

class SettingsPanelPort {
 public:
  virtual ~SettingsPanelPort() = default;
  virtual QWidget* Widget() = 0;
  // The panel commands panel_cmd::kPreviewAll, kPreviewFromCaret and kOutputMp3.
  virtual void HandleCommand(int panelCommand) = 0;
  // Writes the settings record to setup.ini; called once, when the main window
  // is destroyed.
  virtual void SaveSettings() = 0;
  // The fade for playing music clips in seconds: the panel's fade time when
  // its fade switch is on, else 0.
  virtual int MusicFadeSeconds() const { return 0; }
};

}  // namespace aurisona::shell
