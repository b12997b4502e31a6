#include "bfrun/cli/file_arguments.h"

#include <algorithm>
#include <cstddef>

#include "bfrun/cli/batch.h"
#include "bfrun/image/image_formats.h"

namespace {

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The bytes of the UTF-8 character that starts at `at` (1 for a stray byte).
size_t character_size(const std::string& text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    for (size_t i = 1; i < size; ++i)
        if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 1;
    return size;
}

bool match_from(const std::string& pattern, size_t p, const std::string& name, size_t n) {
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            while (p < pattern.size() && pattern[p] == '*')
                ++p;
            if (p == pattern.size()) return true;
            for (size_t at = n; at <= name.size(); ++at)
                if (match_from(pattern, p, name, at)) return true;
            return false;
        }
        if (n == name.size()) return false;
        if (pattern[p] == '?') {
            n += character_size(name, n);
            ++p;
            continue;
        }
        if (fold(pattern[p]) != fold(name[n])) return false;
        ++p;
        ++n;
    }
    return n == name.size();
}

size_t name_start(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

bool less_by_name(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return fold(x) < fold(y); });
}

} // namespace

bool has_wildcards(const std::string& path) {
    return path.find_first_of("*?", name_start(path)) != std::string::npos;
}

bool wildcard_match(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*") return true;
    return match_from(pattern, 0, name, 0);
}

bool is_image_file_name(const std::string& name) {
    for (const ImageFormatNames& format : kImageFormats)
        for (const char* extension : format.extensions) {
            if (extension == nullptr) break;
            const std::string want = std::string(".") + extension;
            if (name.size() > want.size() &&
                std::equal(want.begin(), want.end(),
                           name.end() - static_cast<std::ptrdiff_t>(want.size()),
                           [](char w, char c) { return w == fold(c); }))
                return true;
        }
    return false;
}

bool expand_file_arguments(const std::vector<std::string>& arguments, const FileSystemView& files,
                           std::vector<std::string>& expanded, size_t& left_out, Failure& failure) {
    expanded.clear();
    left_out = 0;
    for (const std::string& argument : arguments) {
        const bool pattern = has_wildcards(argument);
        if (!pattern && !files.is_folder(argument)) {
            expanded.push_back(argument);
            continue;
        }
        // The folder's path as given, with a separator to put names after.
        std::string folder = pattern ? argument.substr(0, name_start(argument)) : argument;
        const std::string prefix = folder.empty() || folder.back() == '\\' || folder.back() == '/'
                                       ? folder
                                       : folder + "\\";
        std::vector<FolderEntry> entries;
        std::string error;
        if (!files.list(folder, entries, error))
            return set_failure(failure, kExitBadInput, argument + ": " + error);
        std::vector<std::string> names;
        for (const FolderEntry& entry : entries) {
            if (entry.folder) continue;
            if (!(pattern ? wildcard_match(argument.substr(name_start(argument)), entry.name)
                          : is_image_file_name(entry.name)))
                continue;
            if (is_dropped_output(entry.name))
                ++left_out;
            else
                names.push_back(entry.name);
        }
        if (names.empty())
            return set_failure(failure, kExitBadInput,
                               pattern ? argument + ": no file matches"
                                       : argument + ": the folder holds no " +
                                             image_format_list("or") + " file");
        std::sort(names.begin(), names.end(), less_by_name);
        for (const std::string& name : names)
            expanded.push_back(prefix + name);
    }
    return true;
}
