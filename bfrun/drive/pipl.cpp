#include "bfrun/drive/pipl.h"

#include <cstring>

namespace {

int32_t read_int32(const uint8_t* at) {
    uint32_t value =
        uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
    int32_t signed_value;
    std::memcpy(&signed_value, &value, sizeof value);
    return signed_value;
}

bool fail(std::string& error, const std::string& why) {
    error = "malformed property list: " + why;
    return false;
}

bool read_pascal_string(const PiplProperty& p, std::string& out, std::string& error) {
    if (p.data.empty() || p.data[0] + size_t{1} > p.data.size())
        return fail(error, "'" + p.key + "' string runs past its property");
    out.assign(reinterpret_cast<const char*>(p.data.data() + 1), p.data[0]);
    return true;
}

bool read_c_string(const PiplProperty& p, std::string& out, std::string& error) {
    // An empty property has no buffer at all for memchr to look in.
    const void* end = p.data.empty() ? nullptr : std::memchr(p.data.data(), 0, p.data.size());
    if (end == nullptr) return fail(error, "'" + p.key + "' string has no terminating NUL");
    out.assign(reinterpret_cast<const char*>(p.data.data()),
               static_cast<const uint8_t*>(end) - p.data.data());
    return true;
}

bool need_length(const PiplProperty& p, size_t length, std::string& error) {
    if (p.data.size() == length) return true;
    return fail(error, "'" + p.key + "' has " + std::to_string(p.data.size()) + " bytes, not " +
                           std::to_string(length));
}

bool interpret(const PiplProperty& p, Pipl& pipl, std::string& error) {
    const std::string& key = p.key;
    if (key == "kind") {
        if (!need_length(p, 4, error)) return false;
        pipl.kind = four_character_code(p.data.data());
    } else if (key == "name") {
        return read_pascal_string(p, pipl.menu_name, error);
    } else if (key == "catg") {
        return read_pascal_string(p, pipl.category, error);
    } else if (key == "vers") {
        if (!need_length(p, 4, error)) return false;
        pipl.has_version = true;
        pipl.version = static_cast<uint32_t>(read_int32(p.data.data()));
    } else if (key == "8664") {
        return read_c_string(p, pipl.entry_point_x86_64, error);
    } else if (key == "wa64") {
        return read_c_string(p, pipl.entry_point_arm64, error);
    } else if (key == "mode") {
        if (p.data.size() < 2) return fail(error, "'mode' is shorter than 2 bytes");
        pipl.modes = p.data;
    } else if (key == "enbl") {
        return read_c_string(p, pipl.enable, error);
    } else if (key == "ms32") {
        if (!need_length(p, 8, error)) return false;
        pipl.has_limits = true;
        pipl.max_height = read_int32(p.data.data());
        pipl.max_width = read_int32(p.data.data() + 4);
        if (pipl.max_height < 1 || pipl.max_width < 1)
            return fail(error, "'ms32' limits are not positive");
    } else if (key == "flly") {
        if (p.data.empty()) return fail(error, "'flly' is empty");
        pipl.filter_layer = (p.data[0] & 0x80) != 0;
    } else if (key == "fici") {
        if (p.data.size() < 28 || p.data.size() % 4 != 0)
            return fail(error, "'fici' needs 4 bytes for each of the 7 filter cases");
        pipl.filter_cases.clear();
        for (size_t i = 0; i + 4 <= p.data.size(); i += 4)
            pipl.filter_cases.push_back({p.data[i], p.data[i + 1], p.data[i + 2]});
    }
    return true;
}

} // namespace

std::string four_character_code(const uint8_t* at) {
    return std::string{static_cast<char>(at[3]), static_cast<char>(at[2]), static_cast<char>(at[1]),
                       static_cast<char>(at[0])};
}

bool parse_pipl(const uint8_t* data, size_t size, Pipl& pipl, std::string& error) {
    pipl = Pipl{};
    if (data == nullptr || size < 10) return fail(error, "shorter than its 10-byte header");
    if (data[0] != 1 || data[1] != 0) return fail(error, "the first 16-bit value is not 1");
    const int32_t count = read_int32(data + 6);
    if (count < 0) return fail(error, "negative property count");
    size_t offset = 10;
    for (int32_t i = 0; i < count; ++i) {
        if (size - offset < 16)
            return fail(error, "property " + std::to_string(i + 1) + " of " +
                                   std::to_string(count) + " runs past the end");
        PiplProperty p;
        p.vendor = four_character_code(data + offset);
        p.key = four_character_code(data + offset + 4);
        p.id = read_int32(data + offset + 8);
        const int32_t length = read_int32(data + offset + 12);
        offset += 16;
        if (length < 0 || static_cast<size_t>(length) > size - offset)
            return fail(error, "'" + p.key + "' claims " + std::to_string(length) +
                                   " bytes, past the end");
        p.data.assign(data + offset, data + offset + length);
        offset += static_cast<size_t>(length);
        if (p.vendor == "8BIM" && !interpret(p, pipl, error)) return false;
        pipl.properties.push_back(std::move(p));
    }
    // Resource compilers may round a resource up; anything else after the list is an error.
    for (size_t rest = offset; rest < size; ++rest)
        if (data[rest] != 0 || size - offset >= 4)
            return fail(error, std::to_string(size - offset) + " bytes after the last property");
    if (pipl.kind.empty()) return fail(error, "no 'kind' property");
    return true;
}

const std::string& entry_point_for_this_machine(const Pipl& pipl) {
#if defined(__aarch64__)
    return pipl.entry_point_arm64;
#else
    return pipl.entry_point_x86_64;
#endif
}
