#include "exchange/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "ledger/gbk.h"

namespace exchange {

namespace {

// The length of the UTF-8 character starting at s[i], 0 when it is not well formed.
size_t utf8CharLength(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    size_t n = 0;
    uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
    if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
    return n;
}

bool gb18030ToUtf8(std::string_view bytes, std::string& out) {
    iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out.assign(bytes.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    bool ok = true;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1)) {
            if (errno == E2BIG) {
                const size_t used = out.size() - outLeft;
                out.resize(out.size() * 2);
                dst = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            ok = false;  // EILSEQ or a cut-off last character (EINVAL)
            break;
        }
    }
    iconv_close(cd);
    if (!ok) return false;
    out.resize(out.size() - outLeft);
    return true;
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = utf8CharLength(bytes, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool decodeFileText(std::string_view bytes, std::string& utf8) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
        if (!isValidUtf8(bytes)) {
            utf8.clear();
            return false;
        }
        utf8.assign(bytes);
        return true;
    }
    if (isValidUtf8(bytes)) {
        utf8.assign(bytes);
        return true;
    }
    if (gb18030ToUtf8(bytes, utf8)) return true;
    utf8.clear();
    return false;
}

std::string toGbkCut(std::string_view utf8, int maxBytes) {
    std::string gbk;
    if (auto whole = ledger::utf8ToGbk(utf8)) {
        gbk = std::move(*whole);
    } else {
        // One character at a time, so that only the ones without a GBK form are lost.
        for (size_t i = 0; i < utf8.size();) {
            size_t n = utf8CharLength(utf8, i);
            if (n == 0) n = 1;
            if (auto c = ledger::utf8ToGbk(utf8.substr(i, n))) gbk += *c;
            i += n;
        }
    }
    if (maxBytes < 0) maxBytes = 0;
    if (gbk.size() <= static_cast<size_t>(maxBytes)) return gbk;
    // Walk GBK characters (a lead byte of 0x81 or more takes two bytes) up to the limit.
    size_t end = 0;
    while (end < gbk.size()) {
        const size_t n = static_cast<unsigned char>(gbk[end]) >= 0x81 ? 2 : 1;
        if (end + n > static_cast<size_t>(maxBytes)) break;
        end += n;
    }
    gbk.resize(end);
    return gbk;
}

}  // namespace exchange
