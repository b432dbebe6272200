// Temporary files and folders of the running process, so that a front end can
// remove them all when it is told to stop (a signal) before their owners do.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace aurisona {

// Registers a temporary file (or, with `folder`, a folder removed with all it
// holds). Returns a ticket for UnregisterTemp; 0 when nothing was registered.
uint64_t RegisterTemp(const std::filesystem::path& path, bool folder = false);
// Creates a file (mkstemps: `pattern` ends in XXXXXX and `suffixLength` more
// characters, which are replaced by the name made) or, with `folder`, a folder
// (mkdtemp) and registers it, both under the registry's lock, so that a stop
// cannot come between them and leave it behind. Returns the open descriptor
// of the file (0 for a folder) and sets `ticket`; -1 when nothing was made.
// Once the process is ending, what is made is removed at once (ticket 0).
int CreateRegisteredTemp(std::string& pattern, int suffixLength, bool folder, uint64_t* ticket);
// The owner has removed or kept the file itself.
void UnregisterTemp(uint64_t ticket);
// Removes every registered file and folder (newest first); the owners must
// not use their files afterwards.
void RemoveRegisteredTemps();
// The same for a process about to end while other threads still run: from
// now on a file registered is removed at once instead.
void RemoveRegisteredTempsForExit();
// Removes every registered file once more, writes `message` to standard error and
// ends the process with `code`, all under the registry's lock: no other thread can
// make a temporary file between the last removal and the end.
[[noreturn]] void RemoveRegisteredTempsAndExit(int code, const char* message);

// Registers on construction, unregisters on destruction.
class TempTicket {
 public:
  TempTicket() = default;
  explicit TempTicket(const std::filesystem::path& path, bool folder = false) : ticket_(RegisterTemp(path, folder)) {}
  ~TempTicket() { UnregisterTemp(ticket_); }
  // Takes over a ticket of CreateRegisteredTemp.
  static TempTicket Adopt(uint64_t ticket) {
    TempTicket adopted;
    adopted.ticket_ = ticket;
    return adopted;
  }
  TempTicket(TempTicket&& other) noexcept : ticket_(other.ticket_) { other.ticket_ = 0; }
  TempTicket& operator=(TempTicket&& other) noexcept {
    if (this != &other) {
      UnregisterTemp(ticket_);
      ticket_ = other.ticket_;
      other.ticket_ = 0;
    }
    return *this;
  }
  void Release() {
    UnregisterTemp(ticket_);
    ticket_ = 0;
  }

 private:
  uint64_t ticket_ = 0;
};

}  // namespace aurisona
