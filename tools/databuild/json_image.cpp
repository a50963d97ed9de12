#include "json_image.h"

#include <cstdint>
#include <limits>
#include <set>

namespace korvane::databuild {
namespace {

using nlohmann::json;

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw BuildError(where + ": " + what);
}

std::string at(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
}

std::string at(const std::string& where, std::size_t index) {
    return where + "[" + std::to_string(index) + "]";
}

// Only the keys of the schema; a misspelt key would otherwise silently become its default.
// Keys starting with '_' and "comment" are free for notes.
void checkKeys(const json& obj, const std::string& where, std::initializer_list<const char*> keys) {
    if (!obj.is_object()) fail(where.empty() ? "document" : where, "expected an object");
    for (const auto& [key, value] : obj.items()) {
        if (key.starts_with("_") || key == "comment") continue;
        bool known = false;
        for (const char* k : keys) known = known || key == k;
        if (!known) fail(at(where, key), "unknown key");
    }
}

// Integers may be written as JSON numbers or as "0x.." strings.
long long integer(const json& v, const std::string& where, long long lo, long long hi) {
    long long value = 0;
    if (v.is_number_unsigned()) {
        auto u = v.get<unsigned long long>();
        if (u > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
            fail(where, "out of range");
        }
        value = static_cast<long long>(u);
    } else if (v.is_number_integer()) {
        value = v.get<long long>();
    } else if (v.is_string()) {
        const std::string s = v.get<std::string>();
        bool hex = s.size() > 2 && s.size() <= 18 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') &&
                   s.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
        if (!hex) fail(where, "expected an integer or a \"0x..\" string, got \"" + s + "\"");
        unsigned long long u = std::stoull(s.substr(2), nullptr, 16);
        if (u > static_cast<unsigned long long>(hi)) fail(where, "out of range");
        value = static_cast<long long>(u);
    } else {
        fail(where, "expected an integer or a \"0x..\" string");
    }
    if (value < lo || value > hi) {
        fail(where, std::to_string(value) + " is outside " + std::to_string(lo) + ".." +
                        std::to_string(hi));
    }
    return value;
}

long long integerField(const json& obj, const std::string& where, const char* key, long long lo,
                       long long hi, long long fallback) {
    auto it = obj.find(key);
    if (it == obj.end()) return fallback;
    return integer(*it, at(where, key), lo, hi);
}

long long requiredInteger(const json& obj, const std::string& where, const char* key, long long lo,
                          long long hi) {
    if (!obj.contains(key)) fail(at(where, key), "missing");
    return integer(obj.at(key), at(where, key), lo, hi);
}

std::string text(const json& obj, const std::string& where, const char* key, bool required) {
    auto it = obj.find(key);
    if (it == obj.end() || it->is_null()) {
        if (required) fail(at(where, key), "missing");
        return {};
    }
    if (!it->is_string()) fail(at(where, key), "expected a string");
    return it->get<std::string>();
}

const json& array(const json& obj, const std::string& where, const char* key) {
    static const json kEmpty = json::array();
    auto it = obj.find(key);
    if (it == obj.end()) return kEmpty;
    if (!it->is_array()) fail(at(where, key), "expected an array");
    return *it;
}

constexpr long long kWord = 0xFFFF;
constexpr long long kDword = 0xFFFFFFFFLL;
constexpr long long kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr long long kLongMax = std::numeric_limits<std::int32_t>::max();

void readTypes(const json& doc, DataFileImage& image, std::set<std::string>& names) {
    const json& types = array(doc, "", "types");
    for (std::size_t i = 0; i < types.size(); ++i) {
        const std::string where = at("types", i);
        const json& t = types[i];
        checkKeys(t, where, {"name", "unit", "numerator", "denominator", "flags"});
        DataFileImage::Type type;
        type.name = text(t, where, "name", true);
        if (type.name.empty()) fail(at(where, "name"), "empty");
        if (!names.insert(type.name).second)
            fail(at(where, "name"), "duplicate \"" + type.name + "\"");
        type.unit = text(t, where, "unit", false);
        // Both scale factors divide somewhere in the value codec; zero is never meaningful.
        type.numerator =
            static_cast<std::uint32_t>(integerField(t, where, "numerator", 1, kDword, 1));
        type.denominator =
            static_cast<std::uint32_t>(integerField(t, where, "denominator", 1, kDword, 1));
        type.flags = static_cast<std::uint8_t>(integerField(t, where, "flags", 0, 0xFF, 0));
        image.types.push_back(type);
    }
}

void readOptionLists(const json& doc, DataFileImage& image, std::set<std::string>& names) {
    const json& lists = array(doc, "", "option_lists");
    for (std::size_t i = 0; i < lists.size(); ++i) {
        const std::string where = at("option_lists", i);
        const json& l = lists[i];
        checkKeys(l, where, {"name", "texts"});
        DataFileImage::OptionList list;
        list.name = text(l, where, "name", true);
        if (list.name.empty()) fail(at(where, "name"), "empty");
        if (!names.insert(list.name).second)
            fail(at(where, "name"), "duplicate \"" + list.name + "\"");
        const json& texts = array(l, where, "texts");
        for (std::size_t k = 0; k < texts.size(); ++k) {
            if (!texts[k].is_string()) fail(at(at(where, "texts"), k), "expected a string");
            list.texts.push_back(texts[k].get<std::string>());
        }
        image.optionLists.push_back(std::move(list));
    }
}

DataFileImage::Item readItem(const json& j, const std::string& where,
                             const std::set<std::string>& typeNames,
                             const std::set<std::string>& listNames,
                             std::vector<std::string>& warnings) {
    checkKeys(j, where,
              {"address", "name", "type", "options", "min", "max", "default", "writable",
               "run_writable", "placeholder"});
    DataFileImage::Item item;
    item.address = static_cast<std::uint16_t>(requiredInteger(j, where, "address", 0, kWord));
    item.name = text(j, where, "name", true);
    item.typeName = text(j, where, "type", false);
    item.optionListName = text(j, where, "options", false);
    item.minimum = static_cast<std::int32_t>(requiredInteger(j, where, "min", kLongMin, kDword));
    item.maximum = static_cast<std::int32_t>(requiredInteger(j, where, "max", kLongMin, kDword));
    item.defaultValue =
        static_cast<std::uint32_t>(requiredInteger(j, where, "default", kLongMin, kDword));
    item.writable = static_cast<std::uint32_t>(integerField(j, where, "writable", 0, kDword, 1));
    item.runWritable =
        static_cast<std::uint32_t>(integerField(j, where, "run_writable", 0, kDword, 0));
    item.placeholder =
        static_cast<std::uint32_t>(integerField(j, where, "placeholder", 0, kDword, 0));

    if (!item.typeName.empty() && item.typeName != "MSG" && !typeNames.count(item.typeName)) {
        fail(at(where, "type"), "no type named \"" + item.typeName + "\"");
    }
    if (!item.optionListName.empty() && !listNames.count(item.optionListName)) {
        fail(at(where, "options"), "no option list named \"" + item.optionListName + "\"");
    }
    if (item.typeName == "MSG" && item.optionListName.empty()) {
        warnings.push_back(at(where, "options") + ": type MSG without an option list");
    }
    if (!item.optionListName.empty() && item.typeName != "MSG") {
        warnings.push_back(at(where, "options") + ": ignored, the type is not MSG");
    }
    // "0xFFFF" written as a minimum is the 16-bit word, so compare in the signed 32-bit sense
    // the codec uses.
    if (item.minimum > item.maximum) fail(where, "min is greater than max");
    return item;
}

void readGroups(const json& doc, DataFileImage& image, const std::set<std::string>& typeNames,
                const std::set<std::string>& listNames, std::vector<std::string>& warnings) {
    const json& groups = array(doc, "", "groups");
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const std::string where = at("groups", i);
        const json& g = groups[i];
        checkKeys(g, where, {"name", "items"});
        DataFileImage::Group group;
        group.name = text(g, where, "name", true);
        const json& items = array(g, where, "items");
        for (std::size_t k = 0; k < items.size(); ++k) {
            group.items.push_back(
                readItem(items[k], at(at(where, "items"), k), typeNames, listNames, warnings));
        }
        image.groups.push_back(std::move(group));
    }
}

}  // namespace

DataFileImage ImageFromJson(const json& doc, std::vector<std::string>& warnings) {
    checkKeys(doc, "",
              {"title", "series", "header_words", "version", "types", "option_lists", "groups"});
    DataFileImage image;
    image.title = text(doc, "", "title", true);
    image.series = static_cast<std::uint16_t>(requiredInteger(doc, "", "series", 0, kWord));
    image.version = static_cast<std::uint32_t>(requiredInteger(doc, "", "version", 0, kDword));
    if (doc.contains("header_words")) {
        const json& words = doc.at("header_words");
        if (!words.is_array() || words.size() != image.headerWords.size()) {
            fail("header_words", "expected an array of 4 integers");
        }
        for (std::size_t i = 0; i < words.size(); ++i) {
            image.headerWords[i] =
                static_cast<std::uint16_t>(integer(words[i], at("header_words", i), 0, kWord));
        }
    }
    std::set<std::string> typeNames;
    std::set<std::string> listNames;
    readTypes(doc, image, typeNames);
    readOptionLists(doc, image, listNames);
    readGroups(doc, image, typeNames, listNames, warnings);
    return image;
}

}  // namespace korvane::databuild
