// Unfinished files on POSIX: UTF-8 paths, deleted from a signal handler with unlink alone.
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/unfinished_file_record.h"
#include "base/unfinished_files.h"

namespace tvde {
namespace {

UnfinishedFileRecord<char> g_record;
thread_local sigset_t t_maskBeforePlacing;

constexpr int32_t kMaxPauses = 500;  // of 10 ms: five seconds

void Pause() {
  const timespec tenMs{0, 10'000'000};
  nanosleep(&tenMs, nullptr);
}

}  // namespace

UnfinishedFiles::UnfinishedFiles(const std::vector<std::wstring>& paths) {
  std::vector<std::string> native;
  for (const std::wstring& path : paths)
    native.push_back(WideToUtf8(path));
  g_record.Keep(native);
}

UnfinishedFiles::~UnfinishedFiles() {
  g_record.Clear();
}

void RemoveUnfinishedFiles() {
  g_record.RemoveEach([](const char* path) { unlink(path); }, Pause, kMaxPauses);
}

bool BeginPlacingFile() {
  sigset_t hardStop;
  sigemptyset(&hardStop);
  sigaddset(&hardStop, SIGINT);
  sigaddset(&hardStop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &hardStop, &t_maskBeforePlacing);
  if (g_record.BeginPlacing()) return true;
  pthread_sigmask(SIG_SETMASK, &t_maskBeforePlacing, nullptr);
  return false;
}

void EndPlacingFile() {
  g_record.EndPlacing();
  pthread_sigmask(SIG_SETMASK, &t_maskBeforePlacing, nullptr);
}

}  // namespace tvde
