// Prompt tones and a music clip that the program makes itself, put into the
// Sound and Music folders when those folders are first created.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/media/data_directory.h"

namespace aurisona {

struct BundledFile {
  std::string name;   // file name in its folder
  std::string bytes;  // the whole file
};

// The prompt tones (WAV and MP3) for the Sound folder.
std::vector<BundledFile> BundledPromptTones();
// The music clip for the Music folder ("theme.mp3").
std::vector<BundledFile> BundledMusic();

// Writes the bundled media into the folders that `created` says are new.
// Existing files are never replaced. Returns the number of files written.
int InstallBundledMedia(const DataDirectory& dir, const CreatedFolders& created);

}  // namespace aurisona
