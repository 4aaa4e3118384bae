// Linux firmware transport: NVMe admin commands through NVME_IOCTL_ADMIN_CMD on the namespace's
// block device, SCSI CDBs through SG_IO, and ATA commands as ATA PASS-THROUGH(16) through SG_IO
// (libata's SCSI translation, USB bridges, SAS controllers).
#include <fcntl.h>
#include <linux/nvme_ioctl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "base/text.h"
#include "firmware/firmware_open.h"

namespace tvde {
namespace {

// Errors that mean the system would not pass the request on, as opposed to a request that got
// lost on the way to the drive.
bool IsRefusal(int error) {
  return error == EACCES || error == EPERM || error == ENOTTY || error == EINVAL ||
         error == EOPNOTSUPP;
}

std::string KernelName(const std::wstring& devicePath) {
  const std::string path = WideToUtf8(devicePath);
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The kind of pass-through a Linux block device offers, by the kernel's name for it.
PassThroughKind KindOf(const std::string& name, std::wstring& unavailable) {
  if (StartsWith(name, "nvme")) return PassThroughKind::Nvme;
  if (StartsWith(name, "sd")) return PassThroughKind::Scsi;
  if (StartsWith(name, "loop")) {
    unavailable = L"a loop device is a file and has no drive firmware";
  } else if (StartsWith(name, "vd")) {
    unavailable = L"a virtio block device passes no commands to a drive";
  } else {
    unavailable = L"no pass-through to the drive for this kind of device";
  }
  return PassThroughKind::None;
}

class LinuxTransport final : public FirmwareTransport {
 public:
  LinuxTransport(int fd, bool ownsFd, PassThroughKind kind, std::string name,
                 std::wstring unavailable, bool mayChangeSettings)
      : fd_(fd),
        ownsFd_(ownsFd),
        kind_(kind),
        name_(std::move(name)),
        unavailable_(std::move(unavailable)),
        mayChangeSettings_(mayChangeSettings) {}
  LinuxTransport(const LinuxTransport&) = delete;
  LinuxTransport& operator=(const LinuxTransport&) = delete;
  ~LinuxTransport() override {
    if (ownsFd_ && fd_ >= 0) close(fd_);
  }

  PassThroughKind Kind() const override { return kind_; }
  std::wstring Unavailable() const override { return unavailable_; }

  NvmeAnswer Nvme(const NvmeAdminCommand& command, std::span<uint8_t> data) override {
    NvmeAnswer answer;
    if (kind_ != PassThroughKind::Nvme) {
      answer.outcome = TransportOutcome::Refused;
      return answer;
    }
    nvme_admin_cmd c{};
    c.opcode = command.opcode;
    c.nsid = command.nsid;
    c.cdw10 = command.cdw10;
    c.cdw11 = command.cdw11;
    c.cdw12 = command.cdw12;
    c.cdw13 = command.cdw13;
    c.cdw14 = command.cdw14;
    c.cdw15 = command.cdw15;
    if (command.dataLength != 0 && data.size() >= command.dataLength) {
      c.addr = reinterpret_cast<uintptr_t>(data.data());
      c.data_len = command.dataLength;
    }
    c.timeout_ms = command.timeoutSeconds * 1000;
    const int result = ioctl(fd_, NVME_IOCTL_ADMIN_CMD, &c);
    if (result < 0) {
      answer.osError = static_cast<uint32_t>(errno);
      answer.outcome = IsRefusal(errno) ? TransportOutcome::Refused : TransportOutcome::Failed;
      return answer;
    }
    answer.outcome = TransportOutcome::Answered;
    answer.status = static_cast<uint16_t>(result);  // positive: the NVMe status field
    answer.result = c.result;
    return answer;
  }

  ScsiAnswer Scsi(const ScsiCommand& command, std::span<uint8_t> dataIn) override {
    ScsiAnswer answer;
    if (kind_ != PassThroughKind::Scsi) {
      answer.outcome = TransportOutcome::Refused;
      return answer;
    }
    std::vector<uint8_t> cdb = command.cdb;
    std::vector<uint8_t> out = command.dataOut;
    std::vector<uint8_t> sense(64, 0);
    sg_io_hdr_t h{};
    h.interface_id = 'S';
    h.cmdp = cdb.data();
    h.cmd_len = static_cast<unsigned char>(cdb.size());
    h.sbp = sense.data();
    h.mx_sb_len = static_cast<unsigned char>(sense.size());
    h.timeout = command.timeoutSeconds * 1000;
    h.dxfer_direction = SG_DXFER_NONE;
    if (command.direction == ScsiDirection::FromDevice && dataIn.size() >= command.dataInLength) {
      h.dxfer_direction = SG_DXFER_FROM_DEV;
      h.dxferp = dataIn.data();
      h.dxfer_len = command.dataInLength;
    } else if (command.direction == ScsiDirection::ToDevice) {
      h.dxfer_direction = SG_DXFER_TO_DEV;
      h.dxferp = out.data();
      h.dxfer_len = static_cast<unsigned int>(out.size());
    }
    if (ioctl(fd_, SG_IO, &h) < 0) {
      answer.osError = static_cast<uint32_t>(errno);
      answer.outcome = IsRefusal(errno) ? TransportOutcome::Refused : TransportOutcome::Failed;
      return answer;
    }
    if (h.host_status != 0) {  // the adapter lost it: no connection, timeout, reset
      answer.osError = h.host_status;
      answer.outcome = TransportOutcome::Failed;
      return answer;
    }
    answer.outcome = TransportOutcome::Answered;
    answer.status = h.status;
    sense.resize(h.sb_len_wr);
    answer.sense = std::move(sense);
    return answer;
  }

  AtaAnswer Ata(const AtaCommand& command, std::span<uint8_t> data) override {
    if (kind_ != PassThroughKind::Scsi) {
      AtaAnswer answer;
      answer.outcome = TransportOutcome::Refused;
      return answer;
    }
    if (mayChangeSettings_ && !descriptorSenseAsked_) {
      descriptorSenseAsked_ = true;
      SelectDescriptorSense();
    }
    return AtaOverScsi(*this, command, data);
  }

  std::optional<uint32_t> NamespaceId() override {
    if (kind_ != PassThroughKind::Nvme) return std::nullopt;
    const int id = ioctl(fd_, NVME_IOCTL_ID);
    return id > 0 ? std::optional<uint32_t>(static_cast<uint32_t>(id)) : std::nullopt;
  }

  bool RefreshCapacity() override {
    if (kind_ != PassThroughKind::Scsi) return false;
    std::ofstream rescan("/sys/block/" + name_ + "/device/rescan");
    rescan << "1\n";
    rescan.close();
    return static_cast<bool>(rescan);
  }

 private:
  // libata before 6.11 puts the registers of a failed pass-through command at the wrong place
  // of fixed-format sense; descriptor format carries them intact. Not saved on the device.
  void SelectDescriptorSense() {
    std::vector<uint8_t> page(ScsiModeSenseControlPage().dataInLength, 0);
    if (!Scsi(ScsiModeSenseControlPage(), page).Ok()) return;
    if (const auto select = ScsiSelectDescriptorSense(page)) {
      std::vector<uint8_t> none;
      Scsi(*select, none);
    }
  }

  int fd_;
  bool ownsFd_;
  PassThroughKind kind_;
  std::string name_;
  std::wstring unavailable_;
  bool mayChangeSettings_;
  bool descriptorSenseAsked_ = false;
};

}  // namespace

std::unique_ptr<FirmwareTransport> OpenFirmwareTransport(Device& device,
                                                         const FirmwareTarget& target) {
  const std::string name = KernelName(target.devicePath);
  std::wstring unavailable;
  const std::optional<intptr_t> fd = device.NativeHandle();
  struct stat st {};
  PassThroughKind kind = PassThroughKind::None;
  if (!fd || fstat(static_cast<int>(*fd), &st) != 0 || !S_ISBLK(st.st_mode)) {
    unavailable = L"an image file has no drive firmware";
  } else {
    kind = KindOf(name, unavailable);
  }
  return std::make_unique<LinuxTransport>(fd ? static_cast<int>(*fd) : -1, false, kind, name,
                                          unavailable, true);
}

FirmwareCapabilities DiscoverDiskFirmware(const FirmwareTarget& target) {
  const std::string name = KernelName(target.devicePath);
  std::wstring unavailable;
  const PassThroughKind kind = KindOf(name, unavailable);
  int fd = -1;
  if (kind != PassThroughKind::None) {
    fd = open(WideToUtf8(target.devicePath).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      unavailable = FormatPrintfW("the device cannot be opened for questions (error %d)", errno);
    }
  }
  LinuxTransport transport(fd, true, fd < 0 ? PassThroughKind::None : kind, name, unavailable,
                           false);
  return DiscoverFirmwareCapabilities(transport);
}

}  // namespace tvde
