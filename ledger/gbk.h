#pragma once

// Conversion between the ledger's GBK byte texts (code page 936) and the UTF-8 the window's
// toolkit speaks. The window converts every text that crosses into or out of a control here, so
// nothing it stores is ever half-converted.

#include <optional>
#include <string>
#include <string_view>

namespace ledger {

// The UTF-8 form of GBK bytes. Bytes that are not valid GBK (a lone lead byte, an unmapped pair,
// 0xFF) each show as U+FFFD, a two-byte pair as one U+FFFD; never fails.
std::string gbkToUtf8(std::string_view gbk);

// The GBK form of UTF-8 text; nullopt when a character has no GBK form or the UTF-8 is
// malformed (nothing is half-converted).
std::optional<std::string> utf8ToGbk(std::string_view utf8);

// How many bytes `utf8` takes in GBK (what the inputs' byte limits count); nullopt when it is
// not convertible.
std::optional<int> gbkLength(std::string_view utf8);

// The longest leading part of `utf8`, cut at a character boundary, whose GBK form takes at most
// `maxBytes` bytes. The cut also stops before the first character that has no GBK form, so the
// result is always convertible. A negative `maxBytes` counts as 0.
std::string cutToGbkLength(std::string_view utf8, int maxBytes);

}  // namespace ledger
