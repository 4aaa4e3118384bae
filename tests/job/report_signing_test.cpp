// Signing in the certificate output: a configured key signs every save, and a key that stops
// working takes the old signature away instead of leaving one that no longer fits.
#include "job/report_signing.h"

#include <gtest/gtest.h>

#include "base/ecdsa_p256.h"
#include "base/file_system.h"
#include "job/report_output.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::TempDir;
using testing::U8;

TEST(ReportSigning, EachSaveSignsOrRemovesTheSignatureItCanNoLongerMake) {
  TempDir dir;
  EcdsaKeyPair keys;
  std::string error;
  ASSERT_TRUE(GenerateEcdsaP256KeyPair(keys, error)) << error;
  ASSERT_TRUE(WriteNewFile(dir.File("key.pem"), keys.privateKeyPem, FileAccess::OwnerOnly, error));

  ReportData report;
  report.statusCode = kStatusCompleted;
  report.config.outputFolder = dir.File("certs");
  report.config.signingKeyFile = dir.File("key.pem");
  ASSERT_TRUE(SaveReports(report));
  const std::wstring signature = report.signaturePath;
  EXPECT_EQ(U8(signature), U8(dir.File("certs")) + static_cast<char>(kPathSeparator) +
                               U8(report.certificateId) + "_Signature.json");
  EXPECT_TRUE(report.signatureError.empty());
  EXPECT_TRUE(PathExists(signature));

  // Saved again with the key gone: the reports are written, the stale signature removed.
  report.config.signingKeyFile = dir.File("moved.pem");
  ASSERT_TRUE(SaveReports(report));
  EXPECT_TRUE(report.signaturePath.empty());
  EXPECT_EQ(U8(report.signatureError),
            "the signing key file " + U8(dir.File("moved.pem")) + " does not exist");
  EXPECT_TRUE(PathExists(report.jsonPath));
  EXPECT_FALSE(PathExists(signature));

  // No files, nothing to sign and no complaint.
  report.config.logOutputDisabled = 1;
  ASSERT_TRUE(SaveReports(report));
  EXPECT_TRUE(report.signaturePath.empty() && report.signatureError.empty());
}

}  // namespace
}  // namespace tvde
