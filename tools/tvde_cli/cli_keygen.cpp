// tvde-cli keygen: a fresh ECDSA P-256 key pair as PEM files, the private one for its owner only.
#include <filesystem>

#include "base/ecdsa_p256.h"
#include "base/file_system.h"
#include "base/text.h"
#include "cli_command.h"
#include "cli_signing.h"
#include "report/report_signature.h"

namespace tvde::cli {
namespace {

std::string Utf8Of(const std::filesystem::path& path) {
  return WideToUtf8(WideOf(path));
}

}  // namespace

int KeygenCommand(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--out"}, args, error)) return BadInput(err, error);
  if (!args.positional.empty()) {
    return BadInput(err, "unexpected argument '" + args.positional[0] + "'");
  }
  const std::string* folder = args.Value("--out");
  if (folder == nullptr) return BadInput(err, "keygen needs --out DIR");

  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::absolute(FsPath(*folder), ec);
  const std::string privatePath = Utf8Of(dir / FsPath(kPrivateKeyFileName));
  const std::string publicPath = Utf8Of(dir / FsPath(kPublicKeyFileName));
  for (const std::string& path : {privatePath, publicPath}) {
    if (PathExists(Utf8ToWide(path))) {
      return BadInput(err, "'" + path + "' already exists; keygen never replaces a key");
    }
  }
  if (ec || !CreateFolderTree(Utf8ToWide(Utf8Of(dir)), FileAccess::OwnerOnly)) {
    return BadInput(err, "cannot create the folder '" + *folder + "'");
  }

  EcdsaKeyPair keys;
  std::vector<uint8_t> spki;
  if (!GenerateEcdsaP256KeyPair(keys, error) ||
      !DecodePublicKeyPem(keys.publicKeyPem, spki, error)) {
    err << "tvde-cli: error: " << error << "\n";
    return kExitFailed;
  }
  if (!WriteNewFile(Utf8ToWide(privatePath), keys.privateKeyPem, FileAccess::OwnerOnly, error)) {
    err << "tvde-cli: error: cannot write '" << TerminalSafe(privatePath) << "': " << error << "\n";
    return kExitFailed;
  }
  if (!WriteNewFile(Utf8ToWide(publicPath), keys.publicKeyPem, FileAccess::Shared, error)) {
    RemoveFile(Utf8ToWide(privatePath));  // a private key without its public half is of no use
    err << "tvde-cli: error: cannot write '" << TerminalSafe(publicPath) << "': " << error << "\n";
    return kExitFailed;
  }
  out << "private key : " << TerminalSafe(privatePath)
      << " (readable by you only; keep it secret)\n"
      << "public key  : " << TerminalSafe(publicPath) << " (give it to the auditors)\n"
      << "key SHA-256 : " << WideToUtf8(LowerHexSha256(spki)) << "\n"
      << "To sign every report set, put into TorevalDiskEraser.ini:\n"
      << "  [Signing]\n"
      << "  SigningKeyFile=" << TerminalSafe(privatePath) << "\n";
  return kExitOk;
}

}  // namespace tvde::cli
