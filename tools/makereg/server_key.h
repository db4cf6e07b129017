#pragma once
// The pin of an FTP server's key, taken from its certificate file, so that
// the location's IT person needs no other tool for it.
#include <string>

#include "platform/status.h"

namespace quendrel::makereg {

// The SHA-256 of the certificate's public key (its DER SubjectPublicKeyInfo)
// as 64 lower-case hexadecimal digits: what the location's "k" setting holds.
// `certificate` is the file's bytes, PEM or DER; fails with what is wrong.
Status ServerKeyPin(const std::string& certificate, std::string& pin);

}  // namespace quendrel::makereg
