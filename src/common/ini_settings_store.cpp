#include "common/ini_settings_store.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "common/file_read.h"
#include "common/text.h"

namespace korvane {
namespace {

std::string FullKey(const std::string& section, const std::string& key) {
    return section + '\n' + key;
}

int HexDigit(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `count` hex digits at `at`; -1 when they are not all there.
int HexRun(std::u16string_view s, std::size_t at, std::size_t count) {
    if (at + count > s.size()) return -1;
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int d = HexDigit(s[at + i]);
        if (d < 0) return -1;
        value = value * 16 + d;
    }
    return value;
}

// "%XX", "%UXXXX" and "\" for "/", as keys and section names are written.
std::string UnescapeKey(std::u16string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            out += u'/';
        } else if (s[i] == '%' && i + 1 < s.size() && s[i + 1] == 'U' && HexRun(s, i + 2, 4) >= 0) {
            out += static_cast<char16_t>(HexRun(s, i + 2, 4));
            i += 5;
        } else if (s[i] == '%' && HexRun(s, i + 1, 2) >= 0) {
            out += static_cast<char16_t>(HexRun(s, i + 1, 2));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return Utf16ToUtf8(out);
}

// One backslash escape starting at s[at]; returns the index after it.
std::size_t Unescape(std::u16string_view s, std::size_t at, std::u16string& out) {
    if (at + 1 >= s.size()) return s.size();
    const char16_t c = s[at + 1];
    std::size_t i = at + 2;
    switch (c) {
        case 'a':
            out += u'\a';
            return i;
        case 'b':
            out += u'\b';
            return i;
        case 'f':
            out += u'\f';
            return i;
        case 'n':
            out += u'\n';
            return i;
        case 'r':
            out += u'\r';
            return i;
        case 't':
            out += u'\t';
            return i;
        case 'v':
            out += u'\v';
            return i;
        default:
            break;
    }
    if (c == 'x') {
        unsigned value = 0;
        while (i < s.size() && HexDigit(s[i]) >= 0)
            value = ((value << 4) | HexDigit(s[i++])) & 0xFFFF;
        out += static_cast<char16_t>(value);
        return i;
    }
    if (c >= '0' && c <= '7') {
        unsigned value = 0;
        for (i = at + 1; i < s.size() && s[i] >= '0' && s[i] <= '7'; ++i)
            value = ((value << 3) | (s[i] - '0')) & 0xFFFF;
        out += static_cast<char16_t>(value);
        return i;
    }
    out += c;  // \\ \" \' \? and anything unknown stand for themselves
    return i;
}

struct ParsedValue {
    std::vector<std::u16string> items{1};
};

// Quoted runs are taken whole; blanks at the edges of unquoted runs are dropped; ";" outside
// quotes ends the value and "," separates list items.
ParsedValue SplitValue(std::u16string_view s) {
    ParsedValue v;
    std::u16string blanks;
    bool runHasText = false;
    std::size_t i = 0;
    while (i < s.size()) {
        const char16_t c = s[i];
        if (c == '"') {
            for (++i; i < s.size() && s[i] != '"';) {
                if (s[i] == '\\')
                    i = Unescape(s, i, v.items.back());
                else
                    v.items.back() += s[i++];
            }
            ++i;
            blanks.clear();
            runHasText = false;
        } else if (c == ';') {
            break;
        } else if (c == ',') {
            v.items.emplace_back();
            blanks.clear();
            runHasText = false;
            ++i;
        } else if (c == ' ' || c == '\t') {
            if (runHasText) blanks += c;
            ++i;
        } else {
            v.items.back() += blanks;
            blanks.clear();
            runHasText = true;
            if (c == '\\')
                i = Unescape(s, i, v.items.back());
            else
                v.items.back() += s[i++];
        }
    }
    return v;
}

bool StartsWith(std::u16string_view s, std::u16string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

std::vector<std::string> LogicalLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    std::string pending;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A backslash at the end of a line, not itself escaped, continues the value on the next.
        const std::size_t kept = line.find_last_not_of('\\');
        const std::size_t trailing = line.size() - (kept == std::string::npos ? 0 : kept + 1);
        if (trailing % 2 == 1) {
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        lines.push_back(pending + line);
        pending.clear();
    }
    if (!pending.empty()) lines.push_back(pending);
    return lines;
}

std::u16string_view Trimmed(std::u16string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

IniSettingsStore IniSettingsStore::Load(const std::string& path) {
    // A settings file is a few kilobytes; anything near this size is not one.
    constexpr std::size_t kLargestFile = 16 << 20;
    std::vector<std::uint8_t> bytes;
    if (!ReadRegularFile(path, bytes, kLargestFile)) return {};
    return Parse(std::string(bytes.begin(), bytes.end()));
}

IniSettingsStore IniSettingsStore::Parse(const std::string& text) {
    IniSettingsStore store;
    std::string section;
    for (const std::string& raw : LogicalLines(text)) {
        const std::u16string line16 = Utf8ToUtf16(raw);
        const std::u16string_view line = Trimmed(line16);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            const std::size_t close = line.find(u']');
            const std::u16string_view name =
                line.substr(1, close == line.npos ? line.npos : close - 1);
            if (name == u"General")
                section.clear();
            else
                section = name == u"%General" ? "General" : UnescapeKey(name);
            continue;
        }
        const std::size_t eq = line.find(u'=');
        if (eq == line.npos) continue;
        const std::string key = UnescapeKey(Trimmed(line.substr(0, eq)));
        if (key.empty()) continue;
        ParsedValue parsed = SplitValue(line.substr(eq + 1));
        Value value;
        if (parsed.items.size() > 1) {
            value.kind = Value::Kind::kList;
        } else {
            std::u16string& item = parsed.items.front();
            if (StartsWith(item, u"@@")) {
                value.text = item.substr(1);
            } else if (StartsWith(item, u"@ByteArray(") && item.back() == u')') {
                value.kind = Value::Kind::kBytes;
                value.text = item.substr(11, item.size() - 12);
            } else if (StartsWith(item, u"@")) {
                value.kind = Value::Kind::kOther;
            } else {
                value.text = std::move(item);
            }
        }
        store.values_[FullKey(section, key)] = std::move(value);
    }
    return store;
}

const IniSettingsStore::Value* IniSettingsStore::find(const std::string& section,
                                                      const std::string& key) const {
    auto it = values_.find(FullKey(section, key));
    if (it == values_.end() || it->second.kind == Value::Kind::kOther) return nullptr;
    return &it->second;
}

int IniSettingsStore::getInt(const std::string& section, const std::string& key,
                             int fallback) const {
    const Value* v = find(section, key);
    if (!v || v->kind != Value::Kind::kText) return fallback;
    const std::string text = Utf16ToUtf8(v->text);
    if (text.empty()) return fallback;
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || n < INT_MIN || n > INT_MAX) return fallback;
    return static_cast<int>(n);
}

std::string IniSettingsStore::getString(const std::string& section, const std::string& key,
                                        const std::string& fallback) const {
    const Value* v = find(section, key);
    if (!v) return fallback;
    // A list has no single text, as Qt's own conversion says.
    if (v->kind == Value::Kind::kList) return {};
    if (v->kind == Value::Kind::kBytes) {
        std::string bytes;
        for (char16_t c : v->text) bytes += static_cast<char>(c & 0xFF);
        return bytes;
    }
    return Utf16ToUtf8(v->text);
}

bool IniSettingsStore::getBytes(const std::string& section, const std::string& key,
                                std::vector<std::uint8_t>& out) const {
    const Value* v = find(section, key);
    if (!v || v->kind == Value::Kind::kList) return false;
    if (v->kind == Value::Kind::kBytes) {
        out.clear();
        for (char16_t c : v->text) out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        return true;
    }
    const std::string text = Utf16ToUtf8(v->text);
    out.assign(text.begin(), text.end());
    return true;
}

void IniSettingsStore::setInt(const std::string& section, const std::string& key, int value) {
    values_[FullKey(section, key)] = Value{Value::Kind::kText, Utf8ToUtf16(std::to_string(value))};
}

void IniSettingsStore::setString(const std::string& section, const std::string& key,
                                 const std::string& value) {
    values_[FullKey(section, key)] = Value{Value::Kind::kText, Utf8ToUtf16(value)};
}

void IniSettingsStore::setBytes(const std::string& section, const std::string& key,
                                const std::vector<std::uint8_t>& value) {
    Value v{Value::Kind::kBytes, {}};
    for (std::uint8_t b : value) v.text += static_cast<char16_t>(b);
    values_[FullKey(section, key)] = std::move(v);
}

}  // namespace korvane
