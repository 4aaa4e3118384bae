#pragma once
// The console tool run in-process: its own scratch folder, settings and hardware, faults in the
// target's device, typed input, and small file helpers.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "cli.h"
#include "stamp/stamp_test_support.h"
#include "support/fault_device.h"
#include "support/temp_dir.h"

namespace tvde::testing {

struct CliRun {
  int code = -1;
  std::string out;
  std::string err;
};

class CliFixture : public ::testing::Test {
 protected:
  CliFixture() {
    services_.programs = programs_.view();
    services_.loadSettings = [this](FolderCreation creation, std::wstring&) {
      ++settingsLoads_;
      settingsCreation_ = creation;
      AppSettings settings;
      settings.operatorName = L"設定 オペレーター";
      settings.organizationName = L"Settings Org";
      settings.certOutputDir = dir_.File("settings-certs");
      return settings;
    };
    services_.cancel = &cancel_;
    services_.collectHardware = [](const DiskInfo&) {
      HardwareProfile local;
      local.manufacturer = L"Local Maker";
      return local;
    };
  }

  // `typed`: what the operator types on standard input; none when empty.
  CliRun Cli(std::vector<std::string> args, const std::string& typed = {}) {
    std::ostringstream out, err;
    std::istringstream input(typed);
    cli::CliServices services = services_;
    services.input = typed.empty() ? nullptr : &input;
    const int code = cli::RunCli(args, out, err, services);
    return {code, out.str(), err.str()};
  }

  // Wraps the device the command opened for its target in a fault-injecting one.
  void InjectFaults(std::function<void(FaultDevice&)> arm) {
    services_.interposeDevice = [arm](std::unique_ptr<Device> opened) -> std::unique_ptr<Device> {
      auto faulty = std::make_unique<FaultDevice>(std::move(opened), 512);
      arm(*faulty);
      return faulty;
    };
  }

  std::string Path(const std::string& name) const { return WideToUtf8(dir_.File(name)); }
  bool Exists(const std::string& name) const {
    std::error_code ec;
    return std::filesystem::symlink_status(dir_.path() / name, ec).type() !=
           std::filesystem::file_type::not_found;
  }
  std::vector<uint8_t> Fill(const std::string& name, size_t size, uint8_t value) {
    return WriteFilledFile(dir_.path() / name, size, value);
  }
  void WriteText(const std::string& name, const std::string& text) {
    WriteWholeFile(dir_.path() / name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  std::vector<uint8_t> Read(const std::string& name) const {
    return ReadWholeFile(dir_.File(name));
  }
  std::string ReadText(const std::string& name) const { return ReadTextFile(dir_.File(name)); }
  std::set<std::string> FilesIn(const std::string& folder) const {
    return FileNamesIn(dir_.path() / folder);
  }

  TempDir dir_;
  SyntheticPrograms programs_;
  cli::CliServices services_;
  CancelFlag cancel_{0};
  int settingsLoads_ = 0;
  FolderCreation settingsCreation_ = FolderCreation::Allowed;
};

// The value of a "Name : value" summary line; empty when the line is missing.
inline std::string SummaryValue(const std::string& out, const std::string& name) {
  const size_t at = out.find("\n" + name);
  if (at == std::string::npos) return {};
  const size_t colon = out.find(" : ", at);
  const size_t end = out.find('\n', colon);
  return out.substr(colon + 3, end - colon - 3);
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// "'" + text + "'", appended (GCC 12 warns falsely on "'" + a temporary).
inline std::string Quoted(const std::string& text) {
  std::string quoted(1, '\'');
  quoted += text;
  quoted += '\'';
  return quoted;
}

}  // namespace tvde::testing
