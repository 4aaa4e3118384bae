#pragma once
// The console commands around signed report sets: keygen makes a signing key pair, verify
// checks report sets (agreement of the three files, the fingerprint, the signature).

#include <ostream>
#include <string>
#include <vector>

namespace tvde::cli {

// File names keygen writes into its folder.
inline constexpr const char* kPrivateKeyFileName = "signing_private_key.pem";
inline constexpr const char* kPublicKeyFileName = "signing_public_key.pem";

int KeygenCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int VerifyCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Their part of the usage text.
std::string SigningUsageText();

}  // namespace tvde::cli
