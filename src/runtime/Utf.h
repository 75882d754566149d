// UTF-8 <-> UTF-16 conversion. Invalid input never fails: each ill-formed
// sequence (a stray or truncated UTF-8 sequence, an overlong form, an encoded
// surrogate, a value past U+10FFFF, an unpaired UTF-16 surrogate) becomes one
// U+FFFD REPLACEMENT CHARACTER per maximal ill-formed subpart, as the Unicode
// standard recommends, and conversion goes on with the next unit.
#pragma once

#include <string>
#include <string_view>

namespace runtime {

std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

// True when `text` is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

} // namespace runtime
