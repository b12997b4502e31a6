#include "bfrun/cli/batch.h"

#include <algorithm>
#include <map>

#include "bfrun/image/image_formats.h"

std::string base_name(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

std::string lower_case(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return text;
}

// The extension after the last '.' of the base name, lower case; empty for none.
std::string extension_of(const std::string& path) {
    const std::string name = base_name(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? "" : lower_case(name.substr(dot + 1));
}

} // namespace

std::string png_name(const std::string& name) {
    const std::string extension = extension_of(name);
    if (extension == "png") return name;
    return (extension.empty() ? name : name.substr(0, name.size() - extension.size() - 1)) + ".png";
}

std::string other_image_format(const std::string& path) {
    const std::string extension = extension_of(path);
    for (const ImageFormatNames& format : kImageFormats)
        for (const char* known : format.extensions)
            if (format.format != ImageFormat::png && known != nullptr && extension == known)
                return format.name;
    // Formats bfrun neither reads nor writes.
    static const char* const unread[][2] = {
        {"gif", "GIF"},   {"bmp", "BMP"},   {"webp", "WebP"},   {"psd", "Photoshop"},
        {"heic", "HEIF"}, {"avif", "AVIF"}, {"jxl", "JPEG XL"}, {"jp2", "JPEG 2000"}};
    for (const auto& format : unread)
        if (extension == format[0]) return format[1];
    return "";
}

std::string item_name(const BatchItem& item) {
    if (item.page.pages < 2) return item.input;
    return item.input + " page " + std::to_string(item.page.page + 1) + " of " +
           std::to_string(item.page.pages);
}

std::string page_path(const std::string& path, const InputPage& page) {
    if (page.pages < 2) return path;
    std::string number = std::to_string(page.page + 1);
    number.insert(0, std::to_string(page.pages).size() - number.size(), '0');
    const std::string extension = extension_of(path);
    const size_t stem = path.size() - (extension.empty() ? 0 : extension.size() + 1);
    return path.substr(0, stem) + "-page" + number + path.substr(stem);
}

std::vector<BatchItem>
split_pages(const std::vector<std::string>& inputs,
            const std::function<Failure(const std::string&, uint32_t&)>& count_pages) {
    std::vector<BatchItem> items;
    for (const std::string& input : inputs) {
        uint32_t pages = 1;
        BatchItem item;
        item.input = input;
        item.refused = count_pages(input, pages);
        if (item.refused.status != kExitDone || pages < 2) {
            items.push_back(item);
            continue;
        }
        for (uint32_t page = 0; page < pages; ++page) {
            item.page = {page, pages};
            items.push_back(item);
        }
    }
    return items;
}

std::vector<BatchItem> plan_batch(std::vector<BatchItem> items, const std::string& directory,
                                  bool (*same_file)(const std::string&, const std::string&)) {
    // Stable: a file's pages stay in their order.
    std::stable_sort(items.begin(), items.end(), [](const BatchItem& a, const BatchItem& b) {
        return lower_case(a.input) < lower_case(b.input);
    });
    std::map<std::string, std::vector<size_t>> by_name;
    const bool ends_in_separator =
        !directory.empty() && (directory.back() == '/' || directory.back() == '\\');
    for (size_t i = 0; i < items.size(); ++i) {
        BatchItem& item = items[i];
        const std::string name = png_name(page_path(base_name(item.input), item.page));
        item.output = directory + (ends_in_separator ? "" : "\\") + name;
        by_name[lower_case(name)].push_back(i);
        if (item.refused.status == kExitDone && same_file(item.input, item.output))
            item.refused = {kExitUsage, "its output " + item.output +
                                            " would replace it (use the two-path form to do that)"};
    }
    for (const auto& [name, group] : by_name) {
        if (group.size() < 2) continue;
        for (size_t index : group)
            items[index].refused = {kExitUsage, std::to_string(group.size()) +
                                                    " inputs would all be written to " +
                                                    items[index].output};
    }
    return items;
}

std::vector<std::vector<size_t>> share_out(size_t count, int jobs) {
    const size_t workers = std::max<size_t>(1, std::min<size_t>(count, size_t(std::max(jobs, 1))));
    std::vector<std::vector<size_t>> shares(workers);
    for (size_t i = 0; i < count; ++i)
        shares[i % workers].push_back(i);
    if (count == 0) shares.clear();
    return shares;
}

int worker_threads(int processors, size_t workers) {
    return std::max(1, processors / static_cast<int>(std::max<size_t>(workers, 1)));
}

std::vector<std::string> worker_arguments(const std::vector<std::string>& option_args,
                                          const std::vector<BatchItem>& items, int threads) {
    std::vector<std::string> args = {"apply", "--batch-worker", std::to_string(threads)};
    for (size_t i = 0; i < option_args.size(); ++i) {
        if (option_args[i] == "--jobs" || option_args[i] == "-d") {
            ++i;
            continue;
        }
        args.push_back(option_args[i]);
    }
    for (const BatchItem& item : items) {
        args.push_back(item.input);
        args.push_back(std::to_string(item.page.page + 1) + "/" + std::to_string(item.page.pages));
        args.push_back(item.output);
    }
    return args;
}

namespace {
constexpr char kDroppedSuffix[] = "-brightfade";
} // namespace

std::string dropped_output(const std::string& input, const InputPage& page,
                           const std::function<bool(const std::string&)>& taken) {
    const std::string png = png_name(page_path(input, page));
    const std::string stem = png.substr(0, png.size() - 4) + kDroppedSuffix;
    std::string name = stem + ".png";
    for (int n = 2; taken(name); ++n)
        name = stem + "-" + std::to_string(n) + ".png";
    return name;
}

bool is_dropped_output(const std::string& name) {
    std::string lower;
    for (char c : name)
        lower += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower.size() < 4 || lower.compare(lower.size() - 4, 4, ".png") != 0) return false;
    std::string stem = lower.substr(0, lower.size() - 4);
    // -N after the suffix: the numbers dropped_output counts on with.
    const size_t dash = stem.rfind('-');
    if (dash != std::string::npos && dash + 1 < stem.size() &&
        stem.find_first_not_of("0123456789", dash + 1) == std::string::npos)
        stem.resize(dash);
    const std::string suffix = kDroppedSuffix;
    return stem.size() > suffix.size() &&
           stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string quote_argument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
        return argument;
    // Backslashes count only before a quote: doubled there, and before the closing quote.
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}
