#pragma once

// The encodings a bill file comes in and the ledger's GBK texts. Bills are read as UTF-8 (what
// WeChat Pay writes, often with a byte-order mark) or GB18030 (what Alipay writes, and a superset
// of the GBK this program exports with --encoding gbk); everything is parsed as UTF-8 and turned
// into GBK only when it becomes an entry's text.

#include <string>
#include <string_view>

namespace exchange {

// Whether `bytes` is well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view bytes);

// The UTF-8 text of a file's bytes: a UTF-8 byte-order mark is dropped; valid UTF-8 is taken as
// it is; anything else is read as GB18030. False when it is neither (the text is then empty).
bool decodeFileText(std::string_view bytes, std::string& utf8);

// The GBK form of `utf8`, cut at a character boundary to at most `maxBytes` bytes. A character
// with no GBK form (an emoji in a payee's name) is left out rather than failing the whole row.
std::string toGbkCut(std::string_view utf8, int maxBytes);

}  // namespace exchange
