// bfrun driving the real Brightfade.8bf under Wine, on PNG files made here: every output pixel
// is checked against bfrun_expected.h, and the host's options and failures against their exit
// statuses. Usage: bfrun_end_to_end BFRUN.EXE CASE (see the table at the end).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "runner/layer.h"
#include "runner/png_io.h"
#include "tests/wine/bfrun_expected.h"

namespace {

std::wstring bfrun_path;
int failures = 0;

#define CHECK(condition, ...)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::printf("FAILED %s:%d: %s: ", __FILE__, __LINE__, #condition);                     \
            std::printf(__VA_ARGS__);                                                              \
            std::printf("\n");                                                                     \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

std::wstring windows_path(const std::string& path) {
    std::wstring wide(path.begin(), path.end());
    if (!wide.empty() && wide[0] == L'/') wide = L"Z:" + wide;
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    return wide;
}

// Runs bfrun with these arguments and returns its exit status; with `output`, collects what it
// prints on stdout.
int run_bfrun(const std::string& arguments, std::string* output = nullptr) {
    std::wstring command =
        L"\"" + bfrun_path + L"\" " + std::wstring(arguments.begin(), arguments.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE read_end = nullptr, write_end = nullptr;
    if (output != nullptr) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        CreatePipe(&read_end, &write_end, &inherit, 0);
        SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write_end;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(bfrun_path.c_str(), command.data(), nullptr, nullptr,
                                        output != nullptr, 0, nullptr, nullptr, &startup, &process);
    if (write_end != nullptr) CloseHandle(write_end);
    if (!started) {
        std::printf("cannot start bfrun (error %lu)\n", GetLastError());
        return -1;
    }
    if (output != nullptr) {
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0)
            output->append(buffer, got);
        CloseHandle(read_end);
        // The console's text mode writes line ends as CR LF.
        output->erase(std::remove(output->begin(), output->end(), '\r'), output->end());
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF)
            bytes.push_back(static_cast<uint8_t>(c));
        (void)std::fclose(f); // read only: nothing is lost if closing fails
    }
    return bytes;
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    // A short write shows as a broken file in the test that reads it.
    (void)std::fwrite(bytes.data(), 1, bytes.size(), f);
    (void)std::fclose(f);
}

void write_png(const std::string& path, const PngImage& image) {
    std::vector<uint8_t> bytes;
    CHECK(encode_png(image, bytes), "%s", path.c_str());
    write_bytes(path, bytes);
}

PngImage read_png(const std::string& path) {
    PngImage image;
    std::string error;
    CHECK(decode_png(read_bytes(path), image, error), "%s: %s", path.c_str(), error.c_str());
    return image;
}

// Random samples; where there is alpha, about one pixel in eight is fully transparent and one
// in eight fully opaque.
PngImage random_image(int32_t width, int32_t height, int channels, int bits, uint32_t state) {
    std::mt19937 random(state);
    const uint32_t full = bits == 16 ? 65535 : 255;
    std::uniform_int_distribution<uint32_t> sample(0, full);
    PngImage image;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.bits = bits;
    const bool alpha = channels == 2 || channels == 4;
    for (int32_t p = 0; p < width * height; ++p) {
        for (int c = 0; c < channels; ++c) {
            uint32_t value = sample(random);
            if (alpha && c == channels - 1) {
                const uint32_t pick = random() % 8;
                if (pick == 0) value = 0;
                if (pick == 1) value = full;
            }
            image.samples.push_back(static_cast<uint16_t>(value));
        }
    }
    return image;
}

uint32_t to_host16(uint32_t v) {
    return static_cast<uint32_t>(std::floor(v * 32768.0 / 65535.0 + 0.5));
}
uint32_t from_host16(uint32_t h) {
    return h >= 32768 ? 65535 : static_cast<uint32_t>(std::floor(h * 65535.0 / 32768.0 + 0.5));
}

// The file bfrun should write for `in`: grey + alpha or RGBA at the input's bit depth.
PngImage expected_output(const PngImage& in, bool float_layer) {
    const bool grey = in.channels <= 2;
    const bool alpha = in.channels == 2 || in.channels == 4;
    const int planes = grey ? 2 : 4;
    const uint32_t full = in.bits == 16 ? 65535 : 255;
    PngImage out;
    out.width = in.width;
    out.height = in.height;
    out.channels = planes;
    out.bits = in.bits;
    for (int32_t p = 0; p < in.width * in.height; ++p) {
        uint32_t file[4];
        for (int k = 0; k < planes - 1; ++k)
            file[k] = in.samples[p * in.channels + k];
        file[planes - 1] = alpha ? in.samples[p * in.channels + planes - 1] : full;
        if (float_layer) {
            float host[4], result[4];
            for (int k = 0; k < planes; ++k)
                host[k] = static_cast<float>(file[k]) / float(full);
            expected_float_pixel(host, planes, result);
            for (int k = 0; k < planes; ++k) {
                const float v = result[k];
                const uint32_t s =
                    !(v > 0.0f) ? 0
                    : v >= 1.0f ? full
                                : static_cast<uint32_t>(std::lround(v * static_cast<float>(full)));
                out.samples.push_back(static_cast<uint16_t>(s));
            }
        } else {
            uint32_t host[4], result[4];
            const uint32_t scale = in.bits == 16 ? 32768 : 255;
            for (int k = 0; k < planes; ++k)
                host[k] = in.bits == 16 ? to_host16(file[k]) : file[k];
            expected_integer_pixel(host, planes, scale, result);
            for (int k = 0; k < planes; ++k)
                out.samples.push_back(
                    static_cast<uint16_t>(in.bits == 16 ? from_host16(result[k]) : result[k]));
        }
    }
    return out;
}

void compare(const PngImage& got, const PngImage& want, const char* what) {
    CHECK(got.width == want.width && got.height == want.height && got.channels == want.channels &&
              got.bits == want.bits,
          "%s: %dx%d %d channels %d bits, want %dx%d %d channels %d bits", what, got.width,
          got.height, got.channels, got.bits, want.width, want.height, want.channels, want.bits);
    if (got.samples.size() != want.samples.size()) return;
    int shown = 0;
    size_t wrong = 0;
    for (size_t i = 0; i < got.samples.size(); ++i) {
        if (got.samples[i] == want.samples[i]) continue;
        ++wrong;
        if (shown++ < 5)
            std::printf("  %s: pixel %zu plane %zu is %u, want %u\n", what, i / want.channels,
                        i % want.channels, got.samples[i], want.samples[i]);
    }
    CHECK(wrong == 0, "%s: %zu of %zu samples differ", what, wrong, got.samples.size());
}

// One image through bfrun, every pixel checked.
void filter_and_check(const std::string& name, int32_t width, int32_t height, int channels,
                      int bits, bool float_layer, uint32_t state) {
    const PngImage in = random_image(width, height, channels, bits, state);
    const std::string in_path = name + ".in.png", out_path = name + ".out.png";
    write_png(in_path, in);
    DeleteFileA(out_path.c_str());
    const int status =
        run_bfrun("apply " + in_path + " " + out_path + (float_layer ? " --depth 32" : ""));
    CHECK(status == 0, "%s: bfrun exited with %d", name.c_str(), status);
    if (status == 0) compare(read_png(out_path), expected_output(in, float_layer), name.c_str());
}

void core_rgba8() {
    // The module's own check: a small 8-bit RGBA layer, 2 bands, every pixel.
    filter_and_check("core_rgba8", 7, 13, 4, 8, false, 1);
}

void depths_and_colour_types() {
    const int channel_counts[] = {1, 2, 3, 4};
    for (int bits : {8, 16})
        for (int channels : channel_counts) {
            const std::string name =
                "types_" + std::to_string(channels) + "ch" + std::to_string(bits);
            filter_and_check(name, 23, 17, channels, bits, false, 100 + bits + channels);
        }
}

void float_layers() {
    filter_and_check("float_rgba8", 19, 11, 4, 8, true, 7);
    filter_and_check("float_grey_alpha16", 19, 11, 2, 16, true, 8);
    filter_and_check("float_rgb16", 9, 9, 3, 16, true, 9);
}

void selection() {
    const PngImage in = random_image(30, 25, 4, 8, 21);
    write_png("selection.in.png", in);
    DeleteFileA("selection.out.png");
    // Rows 5..21 (3 bands), columns 7..18.
    const int status = run_bfrun("apply selection.in.png selection.out.png --rect 5,7,22,19");
    CHECK(status == 0, "bfrun exited with %d", status);
    if (status != 0) return;
    const PngImage got = read_png("selection.out.png");
    const PngImage filtered = expected_output(in, false);
    PngImage want = in;
    for (int32_t y = 5; y < 22; ++y)
        for (int32_t x = 7; x < 19; ++x)
            for (int k = 0; k < 4; ++k)
                want.samples[(y * 30 + x) * 4 + k] = filtered.samples[(y * 30 + x) * 4 + k];
    compare(got, want, "selection");
}

// Options that make bfrun behave like other hosts give the same pixels as the default run.
void host_quirks() {
    const PngImage in = random_image(40, 21, 4, 16, 31);
    write_png("quirks.in.png", in);
    const PngImage want = expected_output(in, false);
    const char* const variants[] = {"--pad-rows 3", "--pad-rows 64", "--no-big-document",
                                    "--no-basic-suite", "--no-big-document --no-basic-suite"};
    for (const char* variant : variants) {
        DeleteFileA("quirks.out.png");
        const int status = run_bfrun(std::string("apply quirks.in.png quirks.out.png ") + variant);
        CHECK(status == 0, "%s: bfrun exited with %d", variant, status);
        if (status == 0) compare(read_png("quirks.out.png"), want, variant);
    }
}

// Runs that must fail leave an existing OUT.png exactly as it was.
void expect_failure(const std::string& arguments, const std::string& out_path, int want) {
    const std::vector<uint8_t> before = {'k', 'e', 'e', 'p'};
    write_bytes(out_path, before);
    const int status = run_bfrun(arguments);
    CHECK(status == want, "%s: exit %d, want %d", arguments.c_str(), status, want);
    CHECK(read_bytes(out_path) == before, "%s: OUT.png was changed", arguments.c_str());
}

void stops() {
    write_png("stops.in.png", random_image(12, 30, 4, 8, 41)); // 4 bands
    expect_failure("apply stops.in.png stops.out.png --abort-after 1", "stops.out.png", 8);
    expect_failure("apply stops.in.png stops.out.png --advance-error 2,-30100", "stops.out.png", 7);
    expect_failure("apply stops.in.png stops.out.png --advance-error 3,-108", "stops.out.png", 9);
    expect_failure("apply stops.in.png stops.out.png --advance-error 1,-128", "stops.out.png", 8);
    // CMYK: the colour-mode refusal (headless, the message box returns at once).
    expect_failure("apply stops.in.png stops.out.png --mode 4", "stops.out.png", 6);
    // A flat image: the background refusal.
    expect_failure("apply stops.in.png stops.out.png --filter-case 1", "stops.out.png", 6);
    // Grey mode for an RGBA layer: a plane count the module does not expect.
    expect_failure("apply stops.in.png stops.out.png --mode 1", "stops.out.png", 7);
}

void bad_files() {
    std::vector<uint8_t> good;
    encode_png(random_image(16, 16, 4, 8, 51), good);
    write_bytes("bad.truncated.png", std::vector<uint8_t>(good.begin(), good.begin() + 60));
    write_bytes("bad.text.png", {'h', 'e', 'l', 'l', 'o', '\n'});
    // A header that claims 0 x 16 pixels.
    std::vector<uint8_t> empty = good;
    std::memset(empty.data() + 16, 0, 4);
    write_bytes("bad.empty.png", empty);
    DeleteFileA("bad.missing.png");
    for (const char* name :
         {"bad.missing.png", "bad.truncated.png", "bad.text.png", "bad.empty.png"})
        expect_failure(std::string("apply ") + name + " bad.out.png", "bad.out.png", 2);
    // Headers claiming 3000000 columns (beyond the module's 'ms32' limit), and 40000 columns,
    // too many for 16-bit coordinates without the big-document record: refused unread.
    std::vector<uint8_t> wide = good;
    const uint8_t columns_3000000[4] = {0x00, 0x2D, 0xC6, 0xC0};
    std::memcpy(wide.data() + 16, columns_3000000, 4);
    write_bytes("bad.wide.png", wide);
    expect_failure("apply bad.wide.png bad.out.png", "bad.out.png", 3);
    const uint8_t columns_40000[4] = {0x00, 0x00, 0x9C, 0x40};
    std::memcpy(wide.data() + 16, columns_40000, 4);
    write_bytes("bad.wide.png", wide);
    expect_failure("apply bad.wide.png bad.out.png --no-big-document", "bad.out.png", 3);
    // OUT.png in a folder that does not exist.
    write_bytes("bad.good.png", good);
    const int status = run_bfrun("apply bad.good.png no-such-folder\\out.png");
    CHECK(status == 4, "write into a missing folder: exit %d, want 4", status);
    CHECK(run_bfrun("apply bad.good.png") == 1, "a missing OUT.png is a usage error");
}

void large_image() {
    const int32_t width = 4000, height = 3000;
    PngImage in = random_image(width, height, 4, 8, 61);
    write_png("large.in.png", in);
    DeleteFileA("large.out.png");
    const auto started = std::chrono::steady_clock::now();
    const int status = run_bfrun("apply large.in.png large.out.png");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("bfrun on %d x %d RGBA 8-bit: %.2f s, reading and writing the files included\n",
                width, height, seconds);
    CHECK(status == 0, "bfrun exited with %d", status);
    if (status == 0) compare(read_png("large.out.png"), expected_output(in, false), "large");
}

void info() {
    CHECK(run_bfrun("info") == 0, "bfrun info on the built module");
    write_bytes("not-a-module.8bf", {'M', 'Z'});
    CHECK(run_bfrun("info --module not-a-module.8bf") == 5, "a file that is no module");
}

// Under a display: the refusal's real message box, owned by bfrun's window, read back and
// closed by bfrun's watcher.
void message_box() {
    write_png("message_box.in.png", random_image(8, 8, 4, 8, 71));
    DeleteFileA("message_box.out.png");
    std::string output;
    const int status = run_bfrun(
        "apply message_box.in.png message_box.out.png --mode 4 --show-message-box", &output);
    CHECK(status == 6, "exit %d, want 6 (refused)", status);
    const std::string want = u8"caption: エラー\n"
                             u8"text: カラーモードをグレースケールかRGBにしてから、"
                             u8"再度フィルタを実行してください。\\n\n"
                             "owner: bfrun's window\n";
    CHECK(output == want, "bfrun printed:\n%s", output.c_str());
    CHECK(GetFileAttributesA("message_box.out.png") == INVALID_FILE_ATTRIBUTES,
          "a refused run wrote OUT.png");
}

struct Case {
    const char* name;
    void (*run)();
};

const Case kCases[] = {
    {"core_rgba8", core_rgba8},
    {"types", depths_and_colour_types},
    {"float", float_layers},
    {"selection", selection},
    {"quirks", host_quirks},
    {"stops", stops},
    {"bad_files", bad_files},
    {"large", large_image},
    {"info", info},
    {"message_box", message_box},
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: bfrun_end_to_end BFRUN.EXE CASE\n");
        return 2;
    }
    bfrun_path = windows_path(argv[1]);
    for (const Case& c : kCases) {
        if (std::strcmp(c.name, argv[2]) != 0) continue;
        c.run();
        std::printf("%s: %d failure(s)\n", c.name, failures);
        return failures == 0 ? 0 : 1;
    }
    std::printf("unknown case %s\n", argv[2]);
    return 2;
}
