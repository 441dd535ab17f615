#pragma once

// Small helpers for the store's tests: a scratch directory and database files built byte by
// byte from the format's tables (offsets written out here on purpose, not taken from the
// store's own constants, so that a wrong constant shows).

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace store_test {

class ScratchDir {
  public:
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "store_test_XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        dir_ = ::mkdtemp(buf.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

  private:
    std::filesystem::path dir_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline int32_t get32(const std::string& s, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(s[at + i])) << (8 * i);
    return static_cast<int32_t>(v);
}

struct FieldDef {
    std::string name;  // GBK
    uint32_t type;
    int32_t offset;
    int32_t width;  // as the descriptor holds it: 0 for every type but Text
};

// A header (112 bytes), fieldCount, one 72-byte descriptor per field; no records.
inline std::string databaseHeader(const std::vector<FieldDef>& fields, int32_t recordLength,
                                  int32_t count = 0, int32_t nextSerial = 1,
                                  uint32_t version = 0x00010000) {
    std::string s(116 + 72 * fields.size(), '\0');
    std::memcpy(&s[0], "WEDB", 4);
    put32(s, 4, version);
    put32(s, 16, static_cast<uint32_t>(count));
    put32(s, 20, static_cast<uint32_t>(nextSerial));
    put32(s, 24, static_cast<uint32_t>(recordLength));
    put32(s, 112, static_cast<uint32_t>(fields.size()));
    for (size_t i = 0; i < fields.size(); ++i) {
        size_t d = 116 + 72 * i;
        std::memcpy(&s[d], fields[i].name.data(), fields[i].name.size());
        put32(s, d + 20, fields[i].type);
        put32(s, d + 24, static_cast<uint32_t>(fields[i].offset));
        put32(s, d + 28, static_cast<uint32_t>(fields[i].width));
    }
    return s;
}

// The ledger's nine fields (category width 20): record length 299.
inline std::vector<FieldDef> ledgerFields() {
    return {
        {"\xc0\xe0\xd0\xcd", 7, 4, 0},      // 类型 Bool
        {"\xc4\xea", 3, 5, 0},              // 年 Int
        {"\xd4\xc2", 3, 9, 0},              // 月 Int
        {"\xc8\xd5", 3, 13, 0},             // 日 Int
        {"\xca\xb1", 10, 17, 8},            // 时 Text 8
        {"\xcf\xee\xc4\xbf", 10, 25, 200},  // 项目 Text 200
        {"\xbd\xf0\xb6\xee", 5, 225, 0},    // 金额 Float
        {"\xb1\xb8\xd7\xa2", 10, 229, 50},  // 备注 Text 50
        {"\xc0\xe0\xb1\xf0", 10, 279, 20},  // 类别 Text 20
    };
}
inline constexpr int32_t kLedgerLength = 299;
inline constexpr size_t kLedgerDataStart = 116 + 72 * 9;  // 764

// A small two-field table: Int at 4, Text of width 6 at 8; record length 14.
inline std::vector<FieldDef> smallFields() { return {{"A", 3, 4, 0}, {"B", 10, 8, 6}}; }
inline constexpr int32_t kSmallLength = 14;

}  // namespace store_test
