// The data directory: setup.ini and the Music, Record and Sound folders.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace aurisona {

// Which folders EnsureMediaFolders made (false: it existed already or could not
// be made).
struct CreatedFolders {
  bool dataDirectory = false;
  bool music = false;
  bool record = false;
  bool sound = false;
};

class DataDirectory {
 public:
  DataDirectory() = default;
  explicit DataDirectory(std::filesystem::path root) : root_(std::move(root)) {}

  // The data directory of this process, in this order: `override` when not
  // empty (the command line's --data-dir); the executable's folder when a
  // setup.ini stands there (portable install); $XDG_DATA_HOME/aurisona when
  // XDG_DATA_HOME is an absolute path; $HOME/.local/share/aurisona (HOME, else
  // the password database); the executable's folder as a last resort.
  static DataDirectory Resolve(const std::filesystem::path& override = {});

  // The same decision with every input given (for tests and other front ends).
  // `executableDir` may be empty when unknown; empty environment values count
  // as unset.
  static DataDirectory Resolve(const std::filesystem::path& override, const std::filesystem::path& executableDir,
                               const std::string& xdgDataHome, const std::string& home);

  // The folder of the running executable; empty when it cannot be found.
  static std::filesystem::path ExecutableDirectory();

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path SetupIni() const { return root_ / "setup.ini"; }
  std::filesystem::path Music() const { return root_ / "Music"; }
  std::filesystem::path Record() const { return root_ / "Record"; }
  std::filesystem::path Sound() const { return root_ / "Sound"; }
  // The teacher's own document templates (made when the first one is saved).
  std::filesystem::path Templates() const { return root_ / "Templates"; }
  // The user's readings dictionary (written = spoken, one entry a line).
  std::filesystem::path Readings() const { return root_ / "readings.txt"; }

  // Creates the data directory (with its parents), then Music, Record and Sound
  // in that order. Failures are ignored; the result says which folders are new.
  CreatedFolders EnsureMediaFolders() const;

 private:
  std::filesystem::path root_;
};

}  // namespace aurisona
