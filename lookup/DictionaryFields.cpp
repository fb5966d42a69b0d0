#include "DictionaryFields.h"

#include <cstring>

namespace tenmari::fields {

void cut(std::string_view line, std::array<std::string_view, kCount>& raw, int count) {
    const char* p = line.data();
    const char* const end = p + line.size();
    int i = 0;
    for (; i < count && p != nullptr; ++i) {
        const void* comma = std::memchr(p, ',', static_cast<std::size_t>(end - p));
        if (comma == nullptr) {
            // The appended comma: the rest of the line is the last field.
            raw[static_cast<std::size_t>(i)] = std::string_view(p, static_cast<std::size_t>(end - p));
            p = nullptr;
        } else {
            const char* c = static_cast<const char*>(comma);
            raw[static_cast<std::size_t>(i)] = std::string_view(p, static_cast<std::size_t>(c - p));
            p = c + 1;
        }
    }
    for (; i < count; ++i) raw[static_cast<std::size_t>(i)] = {};
}

std::string_view unquote(std::string_view raw, std::string& scratch) {
    if (raw.empty() || raw.front() != '"') return {};
    std::string_view rest = raw.substr(1);
    std::size_t q = rest.find('"');
    // Common case: no doubled quote before the closing one.
    if (q == std::string_view::npos) return rest.substr(0, rest.empty() ? 0 : rest.size() - 1);
    if (q + 1 >= rest.size() || rest[q + 1] != '"') return rest.substr(0, q);

    scratch.clear();
    std::size_t i = 0;
    while (true) {
        q = rest.find('"', i);
        if (q == std::string_view::npos) {
            scratch.append(rest.substr(i));
            if (!scratch.empty()) scratch.pop_back();  // unclosed: last byte dropped
            return scratch;
        }
        scratch.append(rest.substr(i, q - i));
        if (q + 1 < rest.size() && rest[q + 1] == '"') {
            scratch.push_back('"');
            i = q + 2;
        } else {
            return scratch;  // closing quote; anything after it is ignored
        }
    }
}

std::string GetField(std::string_view line, int index) {
    if (index < 0 || index >= kCount) return {};
    std::array<std::string_view, kCount> raw;
    cut(line, raw, index + 1);
    std::string scratch;
    return std::string(unquote(raw[static_cast<std::size_t>(index)], scratch));
}

}  // namespace tenmari::fields
