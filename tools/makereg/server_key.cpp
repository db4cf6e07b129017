#include "makereg/server_key.h"

#include <cstdint>
#include <string_view>

#include "platform/sha256.h"
#include "platform/text.h"

namespace quendrel::makereg {

namespace {

constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kVersionTag = 0xA0;  // [0] EXPLICIT, before the serial number

// One DER element: its tag, and the whole element and its content as views
// into the bytes.
struct Element {
    std::uint8_t tag = 0;
    std::string_view whole;
    std::string_view content;
};

bool Next(std::string_view& bytes, Element& element) {
    if (bytes.size() < 2) return false;
    element.tag = static_cast<std::uint8_t>(bytes[0]);
    std::size_t length = static_cast<std::uint8_t>(bytes[1]);
    std::size_t header = 2;
    if (length & 0x80) {
        const std::size_t count = length & 0x7F;
        if (count == 0 || count > 4 || bytes.size() < 2 + count) return false;
        length = 0;
        for (std::size_t i = 0; i < count; ++i) length = (length << 8) | static_cast<std::uint8_t>(bytes[2 + i]);
        header += count;
    }
    if (bytes.size() - header < length) return false;
    element.whole = bytes.substr(0, header + length);
    element.content = bytes.substr(header, length);
    bytes.remove_prefix(header + length);
    return true;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// The DER bytes of the first certificate of a PEM file; the bytes themselves
// when they are no PEM.
bool DerOf(const std::string& file, std::string& der) {
    const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
    const auto from = file.find(begin);
    if (from == std::string::npos) {
        der = file;
        return true;
    }
    const auto to = file.find(end, from);
    if (to == std::string::npos) return false;
    std::uint32_t bits = 0;
    int count = 0;
    der.clear();
    for (std::size_t i = from + begin.size(); i < to; ++i) {
        const int value = Base64Value(file[i]);
        if (value < 0) continue;  // line ends, padding
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if ((count += 6) >= 8) {
            count -= 8;
            der.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return true;
}

}  // namespace

Status ServerKeyPin(const std::string& certificate, std::string& pin) {
    const Status notACertificate = Status::Failed(
        "This is not a certificate file (PEM or DER): the server's certificate is what its FTP server sends, "
        "for example the file named by vsftpd's rsa_cert_file.");
    std::string der;
    if (!DerOf(certificate, der)) return notACertificate;
    // Certificate ::= SEQUENCE { tbsCertificate SEQUENCE { [0] version,
    //   serialNumber, signature, issuer, validity, subject,
    //   subjectPublicKeyInfo, ... }, ... }
    std::string_view rest = der;
    Element outer, tbs;
    if (!Next(rest, outer) || outer.tag != kSequence) return notACertificate;
    rest = outer.content;
    if (!Next(rest, tbs) || tbs.tag != kSequence) return notACertificate;
    rest = tbs.content;
    Element field;
    if (!Next(rest, field)) return notACertificate;
    if (field.tag == kVersionTag && !Next(rest, field)) return notACertificate;  // the serial number
    for (int skip = 0; skip < 4; ++skip) {  // signature, issuer, validity, subject
        if (!Next(rest, field)) return notACertificate;
    }
    Element keyInfo;
    if (!Next(rest, keyInfo) || keyInfo.tag != kSequence) return notACertificate;
    const auto digest = Sha256Of(keyInfo.whole);
    pin = HexDigits({reinterpret_cast<const char*>(digest.data()), digest.size()}, HexCase::Lower);
    return Status::Ok();
}

}  // namespace quendrel::makereg
