#include "platform/text.h"

#include <cctype>

namespace quendrel {

std::string TrimmedEnd(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string Lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string HexDigits(std::string_view bytes, HexCase letters) {
    const char* digits = letters == HexCase::Upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        hex.push_back(digits[code >> 4]);
        hex.push_back(digits[code & 0x0F]);
    }
    return hex;
}

}  // namespace quendrel
