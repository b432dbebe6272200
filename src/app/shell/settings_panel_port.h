// The left pane's content: the settings panel, which starts preview and
// output and keeps the settings record.
#pragma once

class QWidget;

namespace aurisona::shell {

struct ProgrammeRequest;

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
  // Fills in what the programme view measures: the editor's script compiled
  // (a copy, so that nothing in the editor is repaired), the media and the
  // panel's settings, and the speech engine. False when it cannot.
  virtual bool PrepareProgramme(ProgrammeRequest* request) {
    (void)request;
    return false;
  }
};

}  // namespace aurisona::shell
