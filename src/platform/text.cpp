#include "platform/text.h"

#include <cctype>

namespace quendrel {

std::string TrimmedEnd(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

std::string HexLastByteFirst(std::string_view bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        const auto code = static_cast<unsigned char>(*it);
        hex.push_back(kDigits[code >> 4]);
        hex.push_back(kDigits[code & 0x0F]);
    }
    return hex;
}

}  // namespace quendrel
