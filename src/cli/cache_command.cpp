// aurisona-cli cache: the piece cache's size, and emptying it.
#include <cstdio>

#include "cli/cli.h"
#include "core/output/job_cache.h"
#include "cli/standard_output.h"

namespace aurisona::cli {
namespace {

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

int CacheCommand(int argc, char** argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argc, argv, 2, {}, {"--clear"}, &args, &error)) return UsageError(error);
  if (!args.positional.empty()) return UsageError("cache takes no arguments");
  const DataDirectory directory = OpenDataDirectory(args);
  const IniStore store(directory.SetupIni());
  const std::shared_ptr<PieceCache> cache = OpenPieceCache(directory, store);
  if (args.Flag("--clear")) {
    const PieceCacheUsage before = cache->Usage();
    if (!cache->Clear(&error)) return Fail("cannot clear the piece cache: " + error);
    if (!args.Flag("--quiet")) {
      std::fprintf(stderr, "aurisona-cli: removed %llu pieces (%s) from %s\n",
                   static_cast<unsigned long long>(before.entries), Megabytes(before.bytes).c_str(),
                   cache->folder().c_str());
    }
    return kExitDone;
  }
  const PieceCacheUsage usage = cache->Usage();
  Out("folder: " + cache->folder().string() + "\nsize: " + Megabytes(usage.bytes) + " (" +
      std::to_string(usage.bytes) + " bytes)\nentries: " + std::to_string(usage.entries) +
      "\nlimit: " + Megabytes(ReadPieceCacheLimit(store)) + "\n");
  return kExitDone;
}

}  // namespace aurisona::cli
