// Text as the person sees it: trimming of Unicode white space and line breaks, and
// counting and cutting by user-perceived characters (grapheme clusters). Every function
// accepts any bytes: invalid UTF-8 counts one character per bad byte and never loops.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tervane::Text {

// Removes white space and line breaks (Unicode Zs, Zl, Zp, tab, LF, VT, FF, CR, NEL)
// from both ends.
std::string trimmed(std::string_view text);

// True when the text holds nothing but white space and line breaks.
bool isBlank(std::string_view text);

// Number of user-perceived characters.
std::size_t characterCount(std::string_view text);

// The first `count` user-perceived characters, never splitting one.
std::string prefix(std::string_view text, std::size_t count);

// Lower-cases every letter (Unicode simple case mapping); invalid bytes pass through.
std::string lowercased(std::string_view text);

// Upper-cases ASCII letters only; identifiers and raw values are ASCII.
std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);

}  // namespace tervane::Text
