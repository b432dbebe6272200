// Temporary files and folders of the running process, so that a front end can
// remove them all when it is told to stop (a signal) before their owners do.
#pragma once

#include <cstdint>
#include <filesystem>

namespace aurisona {

// Registers a temporary file (or, with `folder`, a folder removed with all it
// holds). Returns a ticket for UnregisterTemp; 0 when nothing was registered.
uint64_t RegisterTemp(const std::filesystem::path& path, bool folder = false);
// The owner has removed or kept the file itself.
void UnregisterTemp(uint64_t ticket);
// Removes every registered file and folder (newest first); the owners must
// not use their files afterwards.
void RemoveRegisteredTemps();
// The same for a process about to end while other threads still run: from
// now on a file registered is removed at once instead.
void RemoveRegisteredTempsForExit();

// Registers on construction, unregisters on destruction.
class TempTicket {
 public:
  TempTicket() = default;
  explicit TempTicket(const std::filesystem::path& path, bool folder = false) : ticket_(RegisterTemp(path, folder)) {}
  ~TempTicket() { UnregisterTemp(ticket_); }
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
