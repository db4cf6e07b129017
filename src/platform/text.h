#pragma once
// Small text facts the program needs in several places.
#include <cstddef>
#include <string>
#include <string_view>

namespace quendrel {

// The text without the blanks and line ends it ends in.
std::string TrimmedEnd(std::string text);
// The text with its ASCII letters in lower case, for comparing without case.
std::string Lowered(std::string text);

// Lines end in CR LF: a text ending in a bare LF or CR is still unended.
inline bool EndsWithLineEnd(std::string_view text) {
    return text.size() >= 2 && text.substr(text.size() - 2) == "\r\n";
}

// Each byte as two hexadecimal digits, in the bytes' order.
enum class HexCase { Upper, Lower };
std::string HexDigits(std::string_view bytes, HexCase letters = HexCase::Upper);

// Reads a text of unknown length by the system's usual contract: `fetch` gets
// a buffer and its size, and returns the length it wrote (less than the size)
// or the size it needs; 0 (empty, or failed) gives an empty text.
template <typename Fetch>
std::string FetchGrowing(Fetch fetch, std::size_t firstSize = 260) {
    std::string text(firstSize, '\0');
    // A text that grows between the calls is asked for again, a few times.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::size_t length = fetch(&text[0], text.size());
        if (length < text.size()) {
            text.resize(length);
            return text;
        }
        text.resize(length + 1);
    }
    return {};
}

}  // namespace quendrel
