#include "ledger/gbk.h"

#include <iconv.h>

#include <cerrno>

namespace ledger {
namespace {

// glibc's name for code page 936 (an alias of its GBK module, which also maps 0x80 to the euro
// sign as the code page does); GB18030 is a different, larger code and must not be used.
constexpr const char* kGbkName = "CP936";

// One conversion descriptor per direction and thread: iconv_t keeps shift state and may not be
// shared between threads, and opening one for every text would cost more than the conversion.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of [in, in + left) as it can, appending to `out`; returns iconv's error
    // (0 when all of it was converted) and leaves `in` and `left` at the first unconverted byte.
    int convert(const char*& in, size_t& left, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buf[1024];
        while (left > 0) {
            char* src = const_cast<char*>(in);
            char* dst = buf;
            size_t room = sizeof buf;
            size_t r = iconv(cd_, &src, &left, &dst, &room);
            int err = r == static_cast<size_t>(-1) ? errno : 0;
            out.append(buf, static_cast<size_t>(dst - buf));
            in = src;
            if (err != 0 && err != E2BIG) return err;
        }
        return 0;
    }

  private:
    iconv_t cd_;
};

Converter& toUtf8() {
    thread_local Converter c("UTF-8", kGbkName);
    return c;
}

Converter& toGbk() {
    thread_local Converter c(kGbkName, "UTF-8");
    return c;
}

constexpr std::string_view kReplacement = "\xef\xbf\xbd";  // U+FFFD

bool isTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Bytes of the UTF-8 sequence that starts with `lead`; 1 for a byte that cannot start one.
size_t utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
    std::string out;
    out.reserve(gbk.size() * 3 / 2 + 1);
    Converter& c = toUtf8();
    const char* in = gbk.data();
    size_t left = gbk.size();
    while (left > 0) {
        if (!c.ok() || c.convert(in, left, out) == 0) {
            if (!c.ok()) {  // without a converter only ASCII can be shown
                for (; left > 0; ++in, --left) {
                    if (static_cast<unsigned char>(*in) < 0x80) {
                        out += *in;
                    } else {
                        out += kReplacement;
                    }
                }
            }
            break;
        }
        // An invalid or incomplete character: a lead byte with a byte of the trail range after
        // it is taken as one unmapped pair, anything else as one bad byte.
        unsigned char b = static_cast<unsigned char>(in[0]);
        size_t skip = 1;
        if (b >= 0x81 && b <= 0xFE && left >= 2 && isTrailByte(static_cast<unsigned char>(in[1]))) {
            skip = 2;
        }
        out += kReplacement;
        in += skip;
        left -= skip;
    }
    return out;
}

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    Converter& c = toGbk();
    if (!c.ok()) return std::nullopt;
    std::string out;
    out.reserve(utf8.size());
    const char* in = utf8.data();
    size_t left = utf8.size();
    if (c.convert(in, left, out) != 0) return std::nullopt;
    return out;
}

std::optional<int> gbkLength(std::string_view utf8) {
    std::optional<std::string> gbk = utf8ToGbk(utf8);
    if (!gbk) return std::nullopt;
    return static_cast<int>(gbk->size());
}

std::string cutToGbkLength(std::string_view utf8, int maxBytes) {
    size_t budget = maxBytes > 0 ? static_cast<size_t>(maxBytes) : 0;
    size_t used = 0;
    size_t end = 0;
    while (end < utf8.size()) {
        size_t n = utf8SequenceLength(static_cast<unsigned char>(utf8[end]));
        if (end + n > utf8.size()) break;
        std::optional<std::string> gbk = utf8ToGbk(utf8.substr(end, n));
        if (!gbk || used + gbk->size() > budget) break;
        used += gbk->size();
        end += n;
    }
    return std::string(utf8.substr(0, end));
}

}  // namespace ledger
