#pragma once
// Captures what an engine step reports: progress records and log lines (as UTF-8).

#include <string>
#include <vector>

#include "base/log_callback.h"
#include "erase/erase_job.h"
#include "support/text_matchers.h"

namespace tvde::testing {

struct EngineRecorder {
  std::vector<EraseProgressInfo> progress;
  std::vector<std::string> log;

  ProgressCallback Progress() {
    return [this](const EraseProgressInfo& info) { progress.push_back(info); };
  }
  LogCallback Log() {
    return [this](const std::wstring& line) { log.push_back(U8(line)); };
  }
  std::vector<int32_t> Percents(int32_t EraseProgressInfo::*field) const {
    std::vector<int32_t> values;
    for (const auto& p : progress)
      values.push_back(p.*field);
    return values;
  }
};

// A real-write job request for a disk of `sizeBytes` with `sector`-byte sectors.
inline EraseJobConfig DiskConfig(uint64_t sizeBytes, uint32_t sector = 512) {
  EraseJobConfig config;
  config.disk.sizeBytes = sizeBytes;
  config.disk.bytesPerSector = sector;
  config.executionMode = ExecutionMode::RealWrite;
  return config;
}

}  // namespace tvde::testing
