// The stamp commands on image files: write, read and erase, the payload file format, what a
// failed write leaves, and what stamp-read prints of hostile texts.
#include <gtest/gtest.h>

#include "cli_test_fixture.h"

namespace tvde {
namespace {

using testing::AllZero;
using testing::CliFixture;
using testing::CliRun;
using testing::Contains;

using CliStamp = CliFixture;

bool HasLine(const std::string& text, const std::string& line) {
  return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

TEST_F(CliStamp, WriteReadEraseKeepTheRestOfTheImageAndFailuresLeaveNothingNew) {
  Fill("disk.img", 300000, 0x22);
  const std::string disk = Path("disk.img");
  const CliRun write =
      Cli({"stamp-write", "--out", disk, "--sector-size", "4096", "--field",
           "certificateId=CERT-CLI-1", "--field", "hardware.manufacturer=Maker=With=Equals",
           "--field", "hardware.storageController=AHCI | SATA", "--field",
           "organizationName=\x1B[2J\x07\xC2\x9B"
           "6n\xE2\x80\xAEtxt.exe",
           "--field", "verification=PASSED (All Sampled Sectors Verified Clean)"});
  ASSERT_EQ(write.code, 0) << write.err;
  auto image = Read("disk.img");
  ASSERT_EQ(image.size(), 300000u);
  // A verdict carried over from another disk's stamp claims no erasure of this one.
  EXPECT_EQ(testing::CString(image, 0x50),
            "\r\n[TOREVAL DISK ERASER] NOT CERTIFIED. Cert: CERT-CLI-1\r\n");
  EXPECT_EQ(testing::CString(image, 0x200).rfind("TVDE_STAMP_V2|CERT-CLI-1|", 0), 0u);
  EXPECT_EQ(image[131072], 0x22);

  const CliRun read = Cli({"stamp-read", disk, "--sector-size", "4096"});
  EXPECT_EQ(read.code, 0) << read.err;
  EXPECT_TRUE(HasLine(read.out, "incomplete=0"));
  EXPECT_TRUE(HasLine(read.out, "certificateId=CERT-CLI-1"));
  EXPECT_TRUE(HasLine(read.out, "hardware.manufacturer=Maker=With=Equals"));
  EXPECT_TRUE(HasLine(read.out, "hardware.storageController=AHCI   SATA"));  // '|' separates
  // Texts read from a disk reach the terminal escaped: no clearing, bell, CSI or reversal.
  EXPECT_TRUE(HasLine(read.out, "organizationName=\\x1B[2J\\x07\\x9B6n\\u202Etxt.exe"));
  EXPECT_FALSE(Contains(read.out, "\x1B"));

  // The stamp area only goes when there is a stamp on it, or when forced.
  EXPECT_EQ(Cli({"stamp-erase", disk, "--sector-size=4096"}).code, 0);
  image = Read("disk.img");
  EXPECT_TRUE(AllZero(image, 0, 131072));
  EXPECT_EQ(image[131072], 0x22);
  const CliRun gone = Cli({"stamp-read", disk});
  EXPECT_EQ(gone.code, 1);
  EXPECT_TRUE(HasLine(gone.out, "incomplete=1"));
  EXPECT_TRUE(HasLine(gone.out, "hardware.manufacturer=Local Maker"));
  EXPECT_TRUE(Contains(gone.err, "no stamp found"));
  Fill("short.img", 1000, 0x11);
  const CliRun forced = Cli({"stamp-erase", Path("short.img"), "--force"});
  EXPECT_TRUE(Contains(forced.out, "(全0x00) に切り替えました。"));
  EXPECT_EQ(Read("short.img"), std::vector<uint8_t>(131072, 0));

  // A failed write says why, leaves no new file behind and an existing one as it was.
  InjectFaults([](testing::FaultDevice& device) { device.faults.failWriteAt = 1; });
  const CliRun failed = Cli({"stamp-write", "--out", Path("new.img")});
  EXPECT_EQ(failed.code, 1);
  EXPECT_TRUE(Contains(failed.err, "the stamp could not be written to '" + Path("new.img")));
  EXPECT_FALSE(Exists("new.img"));
  EXPECT_EQ(Cli({"stamp-write", "--out", Path("short.img")}).code, 1);
  EXPECT_EQ(Read("short.img"), std::vector<uint8_t>(131072, 0));
}

TEST_F(CliStamp, PayloadFileAndFieldsAndTheReadOutputFedBack) {
  WriteText("payload.txt",
            "\xEF\xBB\xBF# stamp payload\r\ncertificateId=FILE-CERT\r\n\r\nstandardName=Zero "
            "Fill (1 Pass - 高速ゼロ上書き)\r\npassesCompleted=1\r\nsoftwareVersion=Toreval Disk "
            "Eraser Suite v1.3.0\r\noperatorName= 鈴木 一郎 \n");
  ASSERT_EQ(Cli({"stamp-write", "--payload", Path("payload.txt"), "--out", Path("a.img"),
                 "--field=passesCompleted=2"})
                .code,
            0);
  const CliRun read = Cli({"stamp-read", Path("a.img")});
  ASSERT_EQ(read.code, 0);
  EXPECT_TRUE(HasLine(read.out, "certificateId=FILE-CERT"));
  EXPECT_TRUE(HasLine(read.out, "standardName=Zero Fill (1 Pass - 高速ゼロ上書き)"));
  EXPECT_TRUE(HasLine(read.out, "passesCompleted=2"));  // the field overrides the file
  EXPECT_TRUE(HasLine(read.out, "operatorName= 鈴木 一郎 "));
  // What stamp-read prints is a payload file that writes the same image again.
  WriteText("read.txt", read.out);
  ASSERT_EQ(Cli({"stamp-write", "--out", Path("b.img"), "--payload", Path("read.txt")}).code, 0);
  EXPECT_EQ(Read("a.img"), Read("b.img"));
}

}  // namespace
}  // namespace tvde
