// bfrun driving the real Brightfade.8bf under Wine, on PNG, JPEG and TIFF files made here: every
// output pixel is read back with stb_image (a decoder of its own, not bfrun's) and checked
// against the plain kernel run on the matted input, plus hand-worked pixels; the host's options,
// damaged files, batches and failures against their exit statuses. The switches that change the
// host's side of the protocol are test_host apply's, which runs files with bfrun's own code.
// Usage: bfrun_end_to_end BFRUN.EXE TEST_HOST.EXE CASE (see the table at the end).
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb_image.h>
#pragma GCC diagnostic pop

#include <zlib.h>

#include "bfrun/drive/matting.h"
#include "bfrun/drive/sample_scale.h"
#include "tests/bfrun/test_images.h"
#include "tests/bfrun/test_png.h"
#include "transform/rows.h"

namespace {

std::wstring bfrun_path, test_host_path;
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

// Waits for bfrun to end and returns its exit status.
int finish_bfrun(PROCESS_INFORMATION& process) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(code);
}

// Runs the program with these arguments and returns its exit status; with `output`, collects
// what it prints on stdout (and on stderr too with `both`).
int run_program(const std::wstring& program, const std::string& arguments, std::string* output,
                bool both) {
    std::wstring command =
        L"\"" + program + L"\" " + std::wstring(arguments.begin(), arguments.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE read_end = nullptr, write_end = nullptr;
    if (output != nullptr) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        CreatePipe(&read_end, &write_end, &inherit, 0);
        SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write_end;
        startup.hStdError = both ? write_end : GetStdHandle(STD_ERROR_HANDLE);
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr,
                                        output != nullptr, 0, nullptr, nullptr, &startup, &process);
    if (write_end != nullptr) CloseHandle(write_end);
    if (!started) {
        std::printf("cannot start %ls (error %lu)\n", program.c_str(), GetLastError());
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
    return finish_bfrun(process);
}

int run_bfrun(const std::string& arguments, std::string* output = nullptr, bool both = false) {
    return run_program(bfrun_path, arguments, output, both);
}

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end()); // the test's paths are ASCII
}

// The module beside bfrun.exe.
std::string module_path() {
    return narrow(bfrun_path.substr(0, bfrun_path.rfind(L'\\'))) + "\\Brightfade.8bf";
}

// test_host with these arguments ("apply ..."), given the module beside bfrun.exe.
int run_test_host(const std::string& arguments, std::string* output = nullptr, bool both = false) {
    return run_program(test_host_path, arguments + " --module \"" + module_path() + "\"", output,
                       both);
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

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A decoded image: samples 0..255 or 0..65535, interleaved.
struct Image {
    int width = 0, height = 0, channels = 0, bits = 0;
    std::vector<uint32_t> samples;
};

Image read_png(const std::string& path) {
    const std::vector<uint8_t> file = read_bytes(path);
    Image image;
    const auto* bytes = file.data();
    const int size = static_cast<int>(file.size());
    if (!stbi_info_from_memory(bytes, size, &image.width, &image.height, &image.channels)) {
        CHECK(false, "%s: stb_image cannot read it", path.c_str());
        return image;
    }
    image.bits = stbi_is_16_bit_from_memory(bytes, size) ? 16 : 8;
    int w, h, c;
    const size_t count = size_t(image.width) * image.height * image.channels;
    if (image.bits == 16) {
        stbi_us* data = stbi_load_16_from_memory(bytes, size, &w, &h, &c, 0);
        if (data != nullptr) image.samples.assign(data, data + count);
        stbi_image_free(data);
    } else {
        stbi_uc* data = stbi_load_from_memory(bytes, size, &w, &h, &c, 0);
        if (data != nullptr) image.samples.assign(data, data + count);
        stbi_image_free(data);
    }
    return image;
}

// The input's pixels as grey + alpha or RGBA file samples, opaque where it has no alpha.
Image input_pixels(const TestPng& in) {
    Image image;
    image.width = int(in.width);
    image.height = int(in.height);
    const bool grey = in.colour_type == 0 || in.colour_type == 4;
    const int stored = in.colour_type == 0   ? 1
                       : in.colour_type == 2 ? 3
                       : in.colour_type == 4 ? 2
                                             : 4;
    image.channels = grey ? 2 : 4;
    image.bits = in.bit_depth;
    const uint32_t full = in.bit_depth == 16 ? 65535 : 255;
    for (size_t p = 0; p < size_t(in.width) * in.height; ++p)
        for (int k = 0; k < image.channels; ++k) {
            if (k == image.channels - 1 && stored < image.channels) {
                image.samples.push_back(full);
                continue;
            }
            const size_t at = p * stored + k;
            uint16_t v16 = 0;
            if (in.bit_depth == 16) std::memcpy(&v16, in.samples.data() + 2 * at, 2);
            image.samples.push_back(in.bit_depth == 16 ? v16 : in.samples[at]);
        }
    return image;
}

// What bfrun should write for a whole-image run: black ink, grey + alpha, its alpha the plain
// kernel's over the input composited over white.
Image expected_output(const TestPng& in, bool float_layer) {
    const Image file = input_pixels(in);
    const int planes = file.channels, bits = file.bits;
    const size_t pixels = size_t(file.width) * file.height;
    Image out{file.width, file.height, 2, bits, {}};
    if (float_layer) {
        std::vector<float> host(pixels * planes);
        for (size_t p = 0; p < pixels; ++p) {
            const float alpha = png_to_float(file.samples[p * planes + planes - 1], bits);
            for (int k = 0; k < planes; ++k) {
                const float v = png_to_float(file.samples[p * planes + k], bits);
                host[p * planes + k] = k == planes - 1 ? v : apply_matte(v, alpha, 1.0f);
            }
        }
        luminance_to_alpha_with(reference_rows, host.data(), file.height, file.width,
                                file.width * planes * 4, planes, 32);
        for (size_t p = 0; p < pixels; ++p)
            out.samples.insert(out.samples.end(),
                               {0u, float_to_png(host[p * planes + planes - 1], bits)});
        return out;
    }
    const uint32_t scale = bits == 16 ? kScale16 : kScale8;
    std::vector<uint8_t> host(pixels * planes * (bits / 8));
    for (size_t p = 0; p < pixels; ++p) {
        auto to_host = [&](uint32_t v) { return bits == 16 ? png16_to_host(uint16_t(v)) : v; };
        const uint32_t alpha = to_host(file.samples[p * planes + planes - 1]);
        for (int k = 0; k < planes; ++k) {
            uint32_t v = to_host(file.samples[p * planes + k]);
            if (k != planes - 1) v = apply_matte(v, alpha, scale, scale);
            if (bits == 16) {
                const uint16_t s = uint16_t(v);
                std::memcpy(host.data() + 2 * (p * planes + k), &s, 2);
            } else {
                host[p * planes + k] = uint8_t(v);
            }
        }
    }
    luminance_to_alpha_with(reference_rows, host.data(), file.height, file.width,
                            file.width * planes * (bits / 8), planes, bits);
    for (size_t p = 0; p < pixels; ++p) {
        uint32_t alpha;
        if (bits == 16) {
            uint16_t a;
            std::memcpy(&a, host.data() + 2 * (p * planes + planes - 1), 2);
            alpha = host_to_png16(a);
        } else {
            alpha = host[p * planes + planes - 1];
        }
        out.samples.insert(out.samples.end(), {0u, alpha});
    }
    return out;
}

void compare(const Image& got, const Image& want, const char* what) {
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

// One file through bfrun, every pixel checked against the plain kernel on `in`, the file's
// pixels.
void filter_file_and_check(const std::string& name, const std::string& in_path, const TestPng& in,
                           bool float_layer = false) {
    const std::string out_path = name + ".out.png";
    DeleteFileA(out_path.c_str());
    const int status =
        run_bfrun("apply " + in_path + " " + out_path + (float_layer ? " --depth 32" : ""));
    CHECK(status == 0, "%s: bfrun exited with %d", name.c_str(), status);
    if (status == 0) compare(read_png(out_path), expected_output(in, float_layer), name.c_str());
}

void filter_and_check(const std::string& name, const TestPng& in, bool float_layer = false) {
    write_bytes(name + ".in.png", encode_test_png(in));
    filter_file_and_check(name, name + ".in.png", in, float_layer);
}

// The input with some colour types reduced from a random RGBA or grey + alpha image.
TestPng of_type(uint32_t width, uint32_t height, uint8_t colour_type, int bits,
                uint32_t random_start) {
    const int channels = colour_type == 0 || colour_type == 4 ? 2 : 4;
    TestPng image = random_test_png(width, height, channels, bits, random_start);
    if (colour_type == 0 || colour_type == 2) {
        // Drop the alpha samples.
        const size_t bytes = bits / 8, pixel = channels * bytes;
        std::vector<uint8_t> kept;
        for (size_t at = 0; at < image.samples.size(); at += pixel)
            kept.insert(kept.end(), image.samples.begin() + at,
                        image.samples.begin() + at + pixel - bytes);
        image.samples = kept;
    }
    image.colour_type = colour_type;
    return image;
}

void core_rgba8() {
    // Hand-worked: (100, 50, 127, 1) over white is (254, 254, 254), luminance 254 -> alpha 1;
    // (1, 2, 3, 254) -> (2, 3, 4), luminance 2.82 -> alpha 253; opaque white -> alpha 0;
    // opaque black -> 255; anything at alpha 0 is white over white -> 0. All black ink.
    TestPng hand;
    hand.width = 5;
    hand.height = 1;
    hand.samples = {100, 50, 127, 1, 1, 2, 3, 254, 255, 255, 255, 255, 0, 0, 0, 255, 10, 20, 30, 0};
    write_bytes("hand.in.png", encode_test_png(hand));
    CHECK(run_bfrun("apply hand.in.png hand.out.png") == 0, "hand-worked pixels");
    const Image got = read_png("hand.out.png");
    CHECK(got.channels == 2 && got.bits == 8, "grey + alpha, 8 bits: %d channels, %d bits",
          got.channels, got.bits);
    CHECK(got.samples == (std::vector<uint32_t>{0, 1, 0, 253, 0, 0, 0, 255, 0, 0}),
          "hand-worked pixels");
    // Every alpha 0..255 in random colours, two bands and a short one.
    filter_and_check("core_rgba8", random_test_png(64, 20, 4, 8, 1));
    // --paper auto on grey paper at 240 with one black pixel: the level is the paper's own
    // grey (no noise above it), said first; the paper comes out transparent, the ink opaque.
    TestPng paper;
    paper.width = paper.height = 8;
    paper.colour_type = 0;
    paper.samples.assign(64, 240);
    paper.samples[9] = 0;
    write_bytes("paper.in.png", encode_test_png(paper));
    std::string said;
    CHECK(run_bfrun("apply paper.in.png paper.out.png --paper auto", &said, true) == 0, "paper");
    const std::string first = "bfrun: paper.in.png: paper level 240 (auto)\n";
    CHECK(said.substr(0, first.size()) == first, "said: %s", said.c_str());
    std::vector<uint32_t> want(128, 0);
    want[19] = 255;
    CHECK(read_png("paper.out.png").samples == want, "the paper's alpha");
    said.clear();
    run_bfrun("apply paper.in.png paper.out.png --paper auto --quiet", &said, true);
    CHECK(said.empty(), "--quiet said: %s", said.c_str());
    // The right half in shadow at 160: evened out, said as the range of its levels, and the
    // paper transparent on both sides away from the shadow's edge.
    paper.width = 64;
    paper.samples.clear();
    for (size_t p = 0; p < 64 * 8; ++p)
        paper.samples.push_back(p % 64 < 32 ? 240 : 160);
    write_bytes("shadow.in.png", encode_test_png(paper));
    said.clear();
    CHECK(run_bfrun("apply shadow.in.png shadow.out.png --paper auto", &said, true) == 0, "shadow");
    const std::string evened = "bfrun: shadow.in.png: paper evened out: levels 160..240 (auto)\n";
    CHECK(said.substr(0, evened.size()) == evened, "said: %s", said.c_str());
    const Image shadow = read_png("shadow.out.png");
    for (size_t p = 0; p < 64 * 8; ++p)
        CHECK((p % 64 >= 32 && p % 64 < 48) || shadow.samples[2 * p + 1] == 0, "alpha at %zu", p);
    // --ink keep on a dark red seal (170, 30, 40): luminance 72.99 -> alpha 255 - 72 = 183, red
    // 255 (170 + 183 - 255) / 183 = 136.56 -> 137, green and blue below 0 -> 0.
    TestPng seal;
    seal.width = seal.height = 1;
    seal.samples = {170, 30, 40, 255};
    write_bytes("seal.in.png", encode_test_png(seal));
    CHECK(run_bfrun("apply seal.in.png seal.out.png --ink keep") == 0, "--ink keep");
    const Image inked = read_png("seal.out.png");
    CHECK(inked.channels == 4 && inked.samples == (std::vector<uint32_t>{137, 0, 0, 183}),
          "--ink keep: %d channels, red %u", inked.channels,
          inked.samples.empty() ? 0 : inked.samples[0]);
}

void depths_and_colour_types() {
    for (int bits : {8, 16})
        for (uint8_t type : {0, 2, 4, 6}) {
            const std::string name = "types_" + std::to_string(type) + "_" + std::to_string(bits);
            filter_and_check(name, of_type(23, 17, type, bits, 100 + bits + type));
        }
    // A palette with tRNS, and an interlaced file (held whole by bfrun).
    TestPng palette;
    palette.width = 4;
    palette.height = 3;
    palette.colour_type = 3;
    palette.palette = {255, 0, 0, 0, 128, 255, 250, 250, 250};
    palette.trns = {128, 255};
    palette.samples = {0, 1, 2, 1, 2, 2, 0, 0, 1, 1, 1, 2};
    write_bytes("palette.in.png", encode_test_png(palette));
    TestPng as_rgba = random_test_png(4, 3, 4, 8, 0);
    const uint8_t alpha[3] = {128, 255, 255};
    for (size_t p = 0; p < 12; ++p) {
        const uint8_t index = palette.samples[p];
        std::memcpy(as_rgba.samples.data() + 4 * p, palette.palette.data() + 3 * index, 3);
        as_rgba.samples[4 * p + 3] = alpha[index];
    }
    CHECK(run_bfrun("apply palette.in.png palette.out.png") == 0, "palette");
    compare(read_png("palette.out.png"), expected_output(as_rgba, false), "palette");
    TestPng interlaced = random_test_png(37, 29, 4, 16, 5);
    interlaced.interlaced = true;
    filter_and_check("interlaced", interlaced);
}

void float_layers() {
    filter_and_check("float_rgba8", random_test_png(19, 11, 4, 8, 7), true);
    filter_and_check("float_grey_alpha16", random_test_png(19, 11, 2, 16, 8), true);
    filter_and_check("float_rgb16", of_type(9, 9, 2, 16, 9), true);
}

void selection() {
    const TestPng in = random_test_png(30, 25, 4, 8, 21);
    write_bytes("selection.in.png", encode_test_png(in));
    DeleteFileA("selection.out.png");
    // Rows 5..21 (3 bands), columns 7..18: RGBA out, the rest of the image as it was.
    const int status = run_bfrun("apply selection.in.png selection.out.png --rect 5,7,22,19");
    CHECK(status == 0, "bfrun exited with %d", status);
    if (status != 0) return;
    const Image filtered = expected_output(in, false);
    Image want = input_pixels(in);
    for (int32_t y = 5; y < 22; ++y)
        for (int32_t x = 7; x < 19; ++x) {
            const size_t p = size_t(y) * 30 + x;
            want.samples[4 * p] = want.samples[4 * p + 1] = want.samples[4 * p + 2] = 0;
            want.samples[4 * p + 3] = filtered.samples[2 * p + 1];
        }
    compare(read_png("selection.out.png"), want, "selection");
}

// Switches that make the host behave like other hosts give the file bfrun.exe gives.
void host_quirks() {
    write_bytes("quirks.in.png", encode_test_png(random_test_png(40, 21, 4, 16, 31)));
    CHECK(run_bfrun("apply quirks.in.png quirks.plain.png") == 0, "plain run");
    const std::vector<uint8_t> want = read_bytes("quirks.plain.png");
    const char* const variants[] = {"--pad-rows 3", "--pad-rows 64", "--no-big-document",
                                    "--no-basic-suite", "--no-big-document --no-basic-suite"};
    for (const char* variant : variants) {
        DeleteFileA("quirks.out.png");
        const int status =
            run_test_host(std::string("apply quirks.in.png quirks.out.png ") + variant);
        CHECK(status == 0, "%s: bfrun exited with %d", variant, status);
        CHECK(read_bytes("quirks.out.png") == want, "%s: another file", variant);
    }
}

// No temporary file is left beside OUT.png.
bool no_leftovers(const std::string& out_path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((out_path + ".bfrun-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    FindClose(search);
    return false;
}

// How many files or folders named rfXXXX.tmp are in OUT.png's folder: what Wine's ReplaceFileW
// moves a file aside under (compared before and after a run, as earlier runs may have left some).
int moved_aside(const std::string& out_path) {
    const size_t slash = out_path.rfind('\\');
    const std::string folder = slash == std::string::npos ? "" : out_path.substr(0, slash + 1);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "rf*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 1;
    while (FindNextFileA(search, &found))
        ++count;
    FindClose(search);
    return count;
}

// Runs that must fail leave an existing OUT.png exactly as it was, and nothing beside it.
void expect_failure(const std::string& arguments, const std::string& out_path, int want,
                    int (*run)(const std::string&, std::string*, bool) = run_bfrun) {
    const std::vector<uint8_t> before = {'k', 'e', 'e', 'p'};
    write_bytes(out_path, before);
    const int aside = moved_aside(out_path);
    const int status = run(arguments, nullptr, false);
    CHECK(status == want, "%s: exit %d, want %d", arguments.c_str(), status, want);
    CHECK(read_bytes(out_path) == before, "%s: OUT.png was changed", arguments.c_str());
    CHECK(no_leftovers(out_path) && moved_aside(out_path) == aside, "%s: a temporary file was left",
          arguments.c_str());
}

void stops() {
    write_bytes("stops.in.png", encode_test_png(random_test_png(12, 30, 4, 8, 41))); // 4 bands
    const struct {
        const char* switches;
        int status;
    } cases[] = {
        {"--abort-after 1", 8},
        {"--advance-error 2,-30100", 7},
        {"--advance-error 3,-108", 9},
        {"--advance-error 1,-128", 8},
        {"--mode 4", 6},        // CMYK: the colour-mode refusal (headless, the box returns at once)
        {"--filter-case 1", 6}, // a flat image: the background refusal
        {"--mode 1", 7},        // grey mode for an RGBA layer: planes the module does not expect
    };
    for (const auto& c : cases)
        expect_failure(std::string("apply stops.in.png stops.out.png ") + c.switches,
                       "stops.out.png", c.status, run_test_host);
}

// JPEG and TIFF files: a progressive colour JPEG and a CCITT Group 4 TIFF against what bfrun's
// reader decodes of them, a tiled 16-bit RGBA TIFF against the samples written; a CMYK JPEG
// offered to the module as CMYK, which refuses it; a cut JPEG, a floating-point TIFF and an
// LZMA one refused as bad input; a JPEG with Exif orientation 6 written upright.
void formats() {
    TestPng rgba = random_test_png(45, 30, 4, 8, 91);
    TestJpeg jpeg;
    jpeg.width = 45;
    jpeg.height = 30;
    jpeg.progressive = true;
    for (size_t i = 0; i < rgba.samples.size(); ++i)
        if (i % 4 != 3) jpeg.samples.push_back(rgba.samples[i]);
    const std::vector<uint8_t> jpeg_file = encode_test_jpeg(jpeg);
    write_bytes("formats.jpg", jpeg_file);
    TestPng decoded = rgba;
    const ImageError failure = read_test_image(jpeg_file, &decoded.samples);
    CHECK(failure.kind == ImageErrorKind::none, "the JPEG: %s", failure.message.c_str());
    filter_file_and_check("formats_jpeg", "formats.jpg", decoded);

    TestPng rgba16 = random_test_png(37, 29, 4, 16, 92);
    TestTiff tiff;
    tiff.width = 37;
    tiff.height = 29;
    tiff.samples_per_pixel = 4;
    tiff.bits = 16;
    tiff.extra_sample = 2; // unassociated alpha
    tiff.compression = 5;  // LZW
    tiff.tile = 16;
    tiff.samples = rgba16.samples;
    write_bytes("formats.tif", encode_test_tiff(tiff));
    filter_file_and_check("formats_tiff", "formats.tif", rgba16);
    const TestTiff tiled = tiff;

    TestJpeg cmyk = jpeg;
    cmyk.components = 4;
    cmyk.samples.resize(size_t{45} * 30 * 4, 100);
    write_bytes("formats.cmyk.jpg", encode_test_jpeg(cmyk));
    expect_failure("apply formats.cmyk.jpg formats.out.png", "formats.out.png", 6);
    write_bytes("formats.cut.jpg", std::vector<uint8_t>(jpeg_file.begin(), jpeg_file.end() - 300));
    std::string said;
    CHECK(run_bfrun("apply formats.cut.jpg formats.out.png", &said, true) == 2, "a cut JPEG");
    CHECK(said.find("bfrun: formats.cut.jpg: the file ends early, after byte ") == 0 &&
              said.find("(libjpeg: Premature end of JPEG file)\n") != std::string::npos,
          "said: %s", said.c_str());
    tiff.sample_format = 3; // floating point
    tiff.bits = 32;
    tiff.samples.resize(tiff.samples.size() * 2);
    write_bytes("formats.float.tif", encode_test_tiff(tiff));
    expect_failure("apply formats.float.tif formats.out.png", "formats.out.png", 2);
    // A bilevel scan, white at 0, in CCITT Group 4.
    TestTiff fax;
    fax.width = 45;
    fax.height = 30;
    fax.photometric = 0;
    fax.samples_per_pixel = 1;
    fax.bits = 1;
    fax.compression = 4;
    fax.samples.assign(rgba.samples.begin(), rgba.samples.begin() + 6 * 30);
    const std::vector<uint8_t> fax_file = encode_test_tiff(fax);
    write_bytes("formats.fax.tif", fax_file);
    TestPng scan = random_test_png(45, 30, 2, 8, 93);
    const ImageError fax_failure = read_test_image(fax_file, &scan.samples);
    CHECK(fax_failure.kind == ImageErrorKind::none, "the G4 TIFF: %s", fax_failure.message.c_str());
    filter_file_and_check("formats_fax", "formats.fax.tif", scan);
    // Every page of a TIFF, each its own output: named for the page with IN OUT, and in a batch
    // shared between two workers.
    write_bytes("formats.pages.tif", encode_test_tiff_pages({tiled, fax, tiled}));
    const TestPng* pages[3] = {&rgba16, &scan, &rgba16};
    said.clear();
    CHECK(run_bfrun("apply formats.pages.tif formats.pages.png", &said, true) == 0 &&
              said.find("bfrun: formats.pages.tif page 2 of 3 -> formats.pages-page2.png: 45 x "
                        "30") != std::string::npos &&
              said.find("bfrun: 3 images from 1 file: 3 done, 0 failed\n") != std::string::npos,
          "three pages: %s", said.c_str());
    for (int page = 0; page < 3; ++page) {
        const std::string name = "formats.pages-page" + std::to_string(page + 1) + ".png";
        const std::string in_batch = "formats.batch\\" + name;
        if (exists(name))
            compare(read_png(name), expected_output(*pages[page], false), name.c_str());
        if (page == 0) {
            said.clear();
            CHECK(run_bfrun("apply formats.pages.tif formats.jpg -d formats.batch --jobs 2", &said,
                            true) == 0 &&
                      said.find("bfrun: 4 images from 2 files: 4 done, 0 failed\n") !=
                          std::string::npos,
                  "a batch with pages: %s", said.c_str());
        }
        if (exists(in_batch))
            compare(read_png(in_batch), expected_output(*pages[page], false), in_batch.c_str());
        CHECK(exists(name) && exists(in_batch), "%s and %s", name.c_str(), in_batch.c_str());
    }
    // LZMA, which bfrun's libtiff is built without.
    tiff = TestTiff{};
    tiff.width = tiff.height = 1;
    tiff.samples = {0, 0, 0};
    std::vector<uint8_t> lzma = encode_test_tiff(tiff);
    set_tiff_short(lzma, 259, 34925);
    write_bytes("formats.lzma.tif", lzma);
    said.clear();
    CHECK(run_bfrun("apply formats.lzma.tif formats.out.png", &said, true) == 2, "an LZMA TIFF");
    CHECK(said == "bfrun: formats.lzma.tif: the TIFF's image is compressed with LZMA "
                  "(compression 34925), which bfrun does not read\n",
          "said: %s", said.c_str());
    // A phone's photo, 24 x 16 stored, Exif orientation 6: written upright, 16 x 24, the stored
    // top-left block (grey 30) at the top right. The module filters one pixel, at the top left.
    TestJpeg photo = grey_blocks(3, {30, 60, 90, 120, 150, 180});
    photo.exif = exif_orientation(6);
    write_bytes("formats.photo.jpg", encode_test_jpeg(photo));
    CHECK(run_bfrun("apply formats.photo.jpg formats.photo.png --rect 0,0,1,1") == 0, "the photo");
    const Image upright = read_png("formats.photo.png");
    CHECK(upright.width == 16 && upright.height == 24 && upright.channels == 2,
          "the photo: %d x %d, %d channels", upright.width, upright.height, upright.channels);
    if (upright.samples.size() == 16 * 24 * 2)
        CHECK(upright.samples[2 * 15] >= 28 && upright.samples[2 * 15] <= 32 &&
                  upright.samples[2 * 15 + 1] == 255,
              "the photo's top right: %u, %u", upright.samples[2 * 15],
              upright.samples[2 * 15 + 1]);
}

void put_big_endian(std::vector<uint8_t>& file, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        file[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

void bad_files() {
    const std::vector<uint8_t> good = encode_test_png(random_test_png(16, 16, 4, 8, 51));
    const size_t ihdr = chunk_at(good, "IHDR"), idat = chunk_at(good, "IDAT");
    const size_t idat_end = idat + 8 + chunk_length(good, idat);
    std::vector<std::pair<std::string, std::vector<uint8_t>>> damaged;
    // A byte of a chunk changed; with `fix` its CRC made to match again.
    auto edit = [&](const char* name, size_t at, size_t fix) {
        std::vector<uint8_t> file = good;
        file[at] ^= 0x04;
        if (fix != 0) fix_crc(file, fix);
        damaged.push_back({name, file});
    };
    edit("idat_data", idat + 8 + 30, 0);
    edit("idat_data_crc_fixed", idat + 8 + 30, idat);
    edit("idat_crc", idat_end, 0);
    edit("ihdr_crc", ihdr + 8 + 13, 0);
    edit("adler", idat_end - 2, idat);
    for (size_t cut : {size_t{7}, size_t{30}, idat + 20, idat_end, good.size() - 1})
        damaged.push_back(
            {"cut" + std::to_string(cut), std::vector<uint8_t>(good.begin(), good.begin() + cut)});
    damaged.push_back({"text", {'h', 'e', 'l', 'l', 'o', '\n'}});
    std::vector<uint8_t> empty = good; // 0 x 16
    put_big_endian(empty, ihdr + 8, 0);
    fix_crc(empty, ihdr);
    damaged.push_back({"empty", empty});
    // A 1 x 1 grey image whose IDAT inflates to 64 MiB.
    TestPng one;
    one.width = one.height = 1;
    one.colour_type = 0;
    one.samples = {0};
    std::vector<uint8_t> bomb = encode_test_png(one);
    std::vector<uint8_t> zeros(size_t{64} << 20, 0), packed(compressBound(zeros.size()));
    uLongf packed_size = packed.size();
    compress2(packed.data(), &packed_size, zeros.data(), zeros.size(), 9);
    const size_t bomb_idat = chunk_at(bomb, "IDAT");
    bomb.erase(bomb.begin() + bomb_idat + 8,
               bomb.begin() + bomb_idat + 8 + chunk_length(bomb, bomb_idat));
    bomb.insert(bomb.begin() + bomb_idat + 8, packed.begin(), packed.begin() + packed_size);
    put_big_endian(bomb, bomb_idat, uint32_t(packed_size));
    fix_crc(bomb, bomb_idat);
    damaged.push_back({"bomb", bomb});
    // A palette of three entries for a 1-bit image.
    TestPng two;
    two.width = 2;
    two.height = 1;
    two.colour_type = 3;
    two.bit_depth = 1;
    two.palette = {1, 2, 3, 4, 5, 6};
    two.samples = {0x40};
    std::vector<uint8_t> long_palette = encode_test_png(two);
    const size_t plte = chunk_at(long_palette, "PLTE");
    long_palette.insert(long_palette.begin() + plte + 14, {7, 8, 9});
    put_big_endian(long_palette, plte, 9);
    fix_crc(long_palette, plte);
    damaged.push_back({"long_palette", long_palette});

    for (const auto& [name, file] : damaged) {
        write_bytes("bad." + name + ".png", file);
        expect_failure("apply bad." + name + ".png bad.out.png", "bad.out.png", 2);
    }
    DeleteFileA("bad.missing.png");
    expect_failure("apply bad.missing.png bad.out.png", "bad.out.png", 2);

    // Headers claiming 3000000 columns (beyond the module's 'ms32' limit), 40000 columns (too
    // many for 16-bit coordinates without the big-document record), and more pixels than
    // --max-pixels: refused unread.
    std::vector<uint8_t> wide = good;
    put_big_endian(wide, ihdr + 8, 3000000);
    fix_crc(wide, ihdr);
    write_bytes("bad.wide.png", wide);
    expect_failure("apply bad.wide.png bad.out.png", "bad.out.png", 3);
    put_big_endian(wide, ihdr + 8, 40000);
    fix_crc(wide, ihdr);
    write_bytes("bad.wide.png", wide);
    expect_failure("apply bad.wide.png bad.out.png --no-big-document", "bad.out.png", 3,
                   run_test_host);
    write_bytes("bad.good.png", good);
    expect_failure("apply bad.good.png bad.out.png --max-pixels 255", "bad.out.png", 3);
    // OUT.png in a folder that does not exist.
    const int status = run_bfrun("apply bad.good.png no-such-folder\\out.png");
    CHECK(status == 4, "write into a missing folder: exit %d, want 4", status);
    CHECK(run_bfrun("apply bad.good.png") == 1, "a missing OUT.png is a usage error");
    // The message is one line naming the chunk.
    std::string said;
    run_bfrun("apply bad.idat_crc.png bad.out.png", &said, true);
    CHECK(said == "bfrun: bad.idat_crc.png: the CRC of the IDAT chunk at byte " +
                      std::to_string(idat) + " does not match its contents\n",
          "said: %s", said.c_str());
}

// Four files, one damaged: the others are done all the same, each equal to a run of its own,
// with one worker or two; the batch exits with the worst status and sums up.
void batch() {
    CreateDirectoryA("batch_in", nullptr);
    const char* const names[] = {"a.png", "b.png", "c.png", "d.png"};
    for (int i = 0; i < 4; ++i) {
        std::vector<uint8_t> file =
            encode_test_png(random_test_png(30 + i, 20, i == 3 ? 2 : 4, i == 2 ? 16 : 8, 60 + i));
        if (i == 1) file[file.size() - 20] ^= 1; // damaged
        write_bytes(std::string("batch_in\\") + names[i], file);
    }
    for (int i = 0; i < 4; ++i)
        run_bfrun(std::string("apply batch_in\\") + names[i] + " batch_" + names[i]);
    for (const char* jobs : {"1", "2"}) {
        const std::string out = std::string("batch_out") + jobs;
        CreateDirectoryA(out.c_str(), nullptr);
        std::string said;
        const int status = run_bfrun("apply batch_in\\d.png batch_in\\c.png batch_in\\b.png "
                                     "batch_in\\a.png -d " +
                                         out + " --jobs " + jobs,
                                     &said, true);
        CHECK(status == 2, "jobs %s: exit %d, want 2", jobs, status);
        CHECK(said.find("bfrun: 4 files: 3 done, 1 failed\n") != std::string::npos &&
                  said.find("bfrun: batch_in\\b.png: ") != std::string::npos,
              "jobs %s said:\n%s", jobs, said.c_str());
        for (int i = 0; i < 4; ++i) {
            const std::string path = out + "\\" + names[i];
            if (i == 1)
                CHECK(!exists(path), "jobs %s: %s written", jobs, path.c_str());
            else
                CHECK(read_bytes(path) == read_bytes(std::string("batch_") + names[i]) &&
                          !read_bytes(path).empty(),
                      "jobs %s: %s differs from a run of its own", jobs, path.c_str());
        }
    }
    // Refused: an output that would replace its input, and two inputs with one name.
    std::string said;
    CHECK(run_bfrun("apply batch_in\\a.png -d batch_in", &said, true) == 1, "self: %s",
          said.c_str());
    CHECK(said.find("would replace it") != std::string::npos, "said: %s", said.c_str());
    CHECK(run_bfrun("apply batch_in\\a.png batch_out1\\A.png -d batch_out2") == 1, "one name");
}

// OUT may be IN: replaced only once the result is complete.
void in_place() {
    const TestPng in = random_test_png(20, 12, 4, 8, 81);
    write_bytes("in_place.png", encode_test_png(in));
    SetFileAttributesA("in_place.png", FILE_ATTRIBUTE_HIDDEN);
    CHECK(run_bfrun("apply in_place.png in_place.png") == 0, "in place");
    CHECK(GetFileAttributesA("in_place.png") & FILE_ATTRIBUTE_HIDDEN, "its attributes were lost");
    compare(read_png("in_place.png"), expected_output(in, false), "in place");
    CHECK(no_leftovers("in_place.png"), "a temporary file was left");

    // A folder as OUT is refused, and stays where it was with what it holds.
    DeleteFileA("in_place_folder"); // what an earlier bfrun may have written there
    CreateDirectoryA("in_place_folder", nullptr);
    const std::vector<uint8_t> before = {'k', 'e', 'e', 'p'};
    write_bytes("in_place_folder\\inside.txt", before);
    const int aside = moved_aside("in_place_folder");
    std::string said;
    CHECK(run_bfrun("apply in_place.png in_place_folder", &said, true) == 4, "a folder as OUT");
    CHECK(said == "bfrun: in_place.png: in_place_folder: it is a folder, not a file\n", "said: %s",
          said.c_str());
    CHECK((GetFileAttributesA("in_place_folder") & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
              read_bytes("in_place_folder\\inside.txt") == before,
          "the folder was moved or changed");
    CHECK(moved_aside("in_place_folder") == aside, "a folder as OUT: moved aside");

    // OUT in a folder that does not exist: said so (status 4).
    const std::string missing = "bfrun: in_place.png: no_such_folder\\out.png: its folder ";
    const std::string missing_end = "\\no_such_folder does not exist\n";
    said.clear();
    CHECK(run_bfrun("apply in_place.png no_such_folder\\out.png", &said, true) == 4 &&
              said.compare(0, missing.size(), missing) == 0 && said.size() > missing_end.size() &&
              said.compare(said.size() - missing_end.size(), missing_end.size(), missing_end) == 0,
          "said: %s", said.c_str());

    // An OUT that another program holds open without sharing its deletion cannot be moved
    // aside: refused at the end, OUT as it was and nothing left beside it.
    write_bytes("in_place.held.png", before);
    const int held_aside = moved_aside("in_place.held.png");
    HANDLE held = CreateFileA("in_place.held.png", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    said.clear();
    CHECK(run_bfrun("apply in_place.png in_place.held.png", &said, true) == 4, "a held OUT");
    CloseHandle(held);
    CHECK(said.find("in_place.held.png: cannot replace it (another program has it open)") !=
              std::string::npos,
          "said: %s", said.c_str());
    CHECK(read_bytes("in_place.held.png") == before, "a held OUT was changed");
    CHECK(no_leftovers("in_place.held.png") && moved_aside("in_place.held.png") == held_aside,
          "a held OUT: a temporary file was left");
}

void large_image() {
    const TestPng in = random_test_png(4000, 3000, 4, 8, 61);
    write_bytes("large.in.png", encode_test_png(in));
    DeleteFileA("large.out.png");
    const auto started = std::chrono::steady_clock::now();
    const int status = run_bfrun("apply large.in.png large.out.png");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("bfrun on 4000 x 3000 RGBA 8-bit: %.2f s, reading and writing the files included\n",
                seconds);
    CHECK(status == 0, "bfrun exited with %d", status);
    if (status == 0) compare(read_png("large.out.png"), expected_output(in, false), "large");
}

// The module's versions, and every message that tells the user what to do, once.
void info() {
    std::string said;
    CHECK(run_bfrun("info", &said) == 0, "bfrun info on the built module");
    CHECK(said.find("  FileVersion: 1.0\n") != std::string::npos, "info: %s", said.c_str());
    said.clear();
    CHECK(run_bfrun("--version", &said) == 0, "--version");
    CHECK(said.rfind("bfrun 1.0 (", 0) == 0 && said.find("  ProductName: ") != std::string::npos,
          "--version: %s", said.c_str());
    // The module with its header's machine made the other one.
    std::vector<uint8_t> module = read_bytes(module_path());
    const size_t pe = module.size() > 0x40 ? module[0x3C] | module[0x3D] << 8 : 0;
    const bool arm64 = pe != 0 && module[pe + 4] == 0x64 && module[pe + 5] == 0xAA;
    if (pe != 0) module[pe + 5] = arm64 ? 0x86 : 0xAA; // 0x8664 x64, 0xAA64 ARM64
    write_bytes("other-machine.8bf", module);
    write_bytes("not-a-module.8bf", {'M', 'Z'});
    write_bytes("six.txt", {'h', 'e', 'l', 'l', 'o', '\n'});
    const struct {
        std::string arguments;
        int status;
        std::string want;
    } cases[] = {
        {"info --module nothere.8bf", 5,
         "bfrun: no module at nothere.8bf: check the path given to --module\n"},
        {"info --module not-a-module.8bf", 5,
         "bfrun: not-a-module.8bf is not a Windows DLL: --module takes the plug-in, "
         "Brightfade.8bf\n"},
        {"info --module other-machine.8bf", 5,
         std::string("bfrun: other-machine.8bf is a module for ") + (arm64 ? "x64" : "ARM64") +
             " Windows, and this bfrun is for " + (arm64 ? "ARM64" : "x64")},
        {"apply six.txt six.png", 2, "bfrun: six.txt: not a PNG, JPEG or TIFF file\n"},
        {"apply six.txt six.png --jobs 0", 1,
         "bfrun: bad value \"0\" for --jobs (1..64)\nsee bfrun --help\n"},
        // The test host's switches are not bfrun's.
        {"apply six.txt six.png --mode 4", 1, "bfrun: unknown option --mode\n"},
    };
    for (const auto& c : cases) {
        said.clear();
        const int status = run_bfrun(c.arguments, &said, true);
        CHECK(status == c.status && said.rfind(c.want, 0) == 0, "%s: exit %d, said %s",
              c.arguments.c_str(), status, said.c_str());
    }
}

// Under a display: the refusal's real message box, owned by bfrun's window, read back and
// closed by the test host's watcher.
void message_box() {
    write_bytes("message_box.in.png", encode_test_png(random_test_png(8, 8, 4, 8, 71)));
    DeleteFileA("message_box.out.png");
    std::string output;
    const int status = run_test_host(
        "apply message_box.in.png message_box.out.png --mode 4 --show-message-box", &output);
    CHECK(status == 6, "exit %d, want 6 (refused)", status);
    const std::string want = u8"caption: エラー\n"
                             u8"text: カラーモードをグレースケールかRGBにしてから、"
                             u8"再度フィルタを実行してください。\\n\n"
                             "owner: bfrun's window\n";
    CHECK(output == want, "bfrun printed:\n%s", output.c_str());
    CHECK(!exists("message_box.out.png"), "a refused run wrote OUT.png");

    // bfrun.exe in a batch of three, the CMYK JPEG in the middle, in one process and in two
    // workers: the box is closed at once (the test's timeout would end a wait for a click), its
    // words are the file's line, and the others are filtered.
    TestJpeg cmyk;
    cmyk.width = 12;
    cmyk.height = 9;
    cmyk.components = 4;
    cmyk.samples.assign(size_t{12} * 9 * 4, 100);
    write_bytes("message_box.cmyk.jpg", encode_test_jpeg(cmyk));
    write_bytes("message_box.a.png", encode_test_png(random_test_png(8, 8, 4, 8, 72)));
    write_bytes("message_box.b.png", encode_test_png(random_test_png(8, 8, 4, 8, 73)));
    for (const char* jobs : {"1", "2"}) {
        const std::string folder = std::string("message_box.jobs") + jobs;
        std::string said;
        const int status = run_bfrun("apply message_box.a.png message_box.cmyk.jpg "
                                     "message_box.b.png --quiet --jobs " +
                                         std::string(jobs) + " -d " + folder,
                                     &said, true);
        CHECK(status == 6, "jobs %s: exit %d, want 6", jobs, status);
        const std::string refused =
            u8"bfrun: message_box.cmyk.jpg: the module refused the image: "
            u8"カラーモードをグレースケールかRGBにしてから、再度フィルタを実行してください。\n";
        CHECK(said.find(refused) != std::string::npos, "jobs %s: said:\n%s", jobs, said.c_str());
        CHECK(said.find("bfrun: 3 files: 2 done, 1 failed") != std::string::npos,
              "jobs %s: said:\n%s", jobs, said.c_str());
        CHECK(exists(folder + "\\message_box.a.png") && exists(folder + "\\message_box.b.png") &&
                  !exists(folder + "\\message_box.cmyk.png"),
              "jobs %s: the outputs", jobs);
        CHECK(no_leftovers(folder + "\\message_box.cmyk.png"), "jobs %s: a temporary file left",
              jobs);
    }
}

// --- Windows habits: patterns, folders, drag and drop, the console and its events ----------

// The program started with stdout and stderr on one pipe, left running.
PROCESS_INFORMATION start_program(const std::wstring& program, const std::string& arguments,
                                  HANDLE& read_end) {
    std::wstring command =
        L"\"" + program + L"\" " + std::wstring(arguments.begin(), arguments.end());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE write_end = nullptr;
    CreatePipe(&read_end, &write_end, &inherit, 0);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = write_end;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                   &startup, &process);
    CloseHandle(write_end);
    return process;
}

// A console event as Windows delivers it: a thread started in the process at CtrlRoutine,
// which runs the process's handlers. Windows ends the process once a closing event's handler
// returns; `then_end` does that too.
void send_console_event(DWORD process_id, DWORD event, bool then_end = false) {
    auto* routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CtrlRoutine")));
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, process_id);
    CHECK(routine != nullptr && process != nullptr, "cannot reach process %lu", process_id);
    if (routine == nullptr || process == nullptr) return;
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, routine,
                                       reinterpret_cast<void*>(uintptr_t{event}), 0, nullptr);
    CHECK(thread != nullptr, "CreateRemoteThread: error %lu", GetLastError());
    if (thread != nullptr) {
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    if (then_end) TerminateProcess(process, 0xC000013A);
    CloseHandle(process);
}

// Ctrl+C reaches every process of the console: bfrun and its workers.
void press_ctrl_c(DWORD bfrun_id) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    std::vector<DWORD> targets = {bfrun_id};
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == bfrun_id) targets.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    for (DWORD id : targets)
        send_console_event(id, CTRL_C_EVENT);
}

// The lines of a run's output with the progress line's redraws ("\r...\r") taken out, and how
// many there were; false if a redraw was cut by a line.
bool lines_without_redraws(std::string raw, std::vector<std::string>& lines, int& redraws) {
    for (size_t at; (at = raw.find("\r\n")) != std::string::npos;)
        raw.erase(at, 1); // text mode
    std::string text;
    redraws = 0;
    for (size_t at = 0; at < raw.size(); ++at) {
        if (raw[at] != '\r') {
            text += raw[at];
            continue;
        }
        const size_t end = raw.find('\r', at + 1);
        if (end == std::string::npos || raw.find('\n', at) < end) return false;
        if (raw.find_first_not_of(' ', at + 1) < end) ++redraws;
        at = end;
    }
    lines.clear();
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return true;
}

void windows_habits() {
    CreateDirectoryA("habits", nullptr);
    for (const char* name : {"habits\\a.png", "habits\\B.PNG", "habits\\c.pngx"})
        write_bytes(name, encode_test_png(random_test_png(9, 7, 4, 8, 90)));
    write_bytes("habits\\notes.txt", {'h', 'i'});
    std::string said;
    // A pattern, into folders not there yet; c.pngx is not *.png.
    CHECK(run_bfrun("apply habits\\*.png -d habits_out\\new\\deep", &said, true) == 0, "%s",
          said.c_str());
    CHECK(exists("habits_out\\new\\deep\\a.png") && exists("habits_out\\new\\deep\\B.png") &&
              !exists("habits_out\\new\\deep\\c.png"),
          "pattern: %s", said.c_str());
    CHECK(said.find("bfrun: 2 files: 2 done, 0 failed\n") != std::string::npos, "%s", said.c_str());
    CHECK(run_bfrun("apply habits -d habits_folder") == 0, "folder");
    CHECK(exists("habits_folder\\a.png") && !exists("habits_folder\\notes.png"), "folder");
    said.clear();
    CHECK(run_bfrun("apply habits\\*.gif -d habits_out", &said, true) == 2, "nothing matched");
    CHECK(said == "bfrun: habits\\*.gif: no file matches\n", "said: %s", said.c_str());

    // Dropped files: beside them, never over another file; a file of two pages gives two.
    CreateDirectoryA("drop", nullptr);
    WIN32_FIND_DATAA found;
    const HANDLE earlier = FindFirstFileA("drop\\*", &found);
    for (BOOL more = earlier != INVALID_HANDLE_VALUE; more; more = FindNextFileA(earlier, &found))
        DeleteFileA(("drop\\" + std::string(found.cFileName)).c_str());
    if (earlier != INVALID_HANDLE_VALUE) FindClose(earlier);
    write_bytes("drop\\scan.png", encode_test_png(random_test_png(9, 7, 4, 8, 91)));
    TestTiff grey;
    grey.width = grey.height = 3;
    grey.photometric = 1;
    grey.samples_per_pixel = 1;
    grey.samples.assign(9, 60);
    write_bytes("drop\\fax.tif", encode_test_tiff_pages({grey, grey}));
    for (int i = 0; i < 2; ++i)
        CHECK(run_bfrun(i == 0 ? "drop\\scan.png drop\\fax.tif" : "drop\\scan.png") == 0, "drop %d",
              i);
    CHECK(exists("drop\\scan-brightfade.png") && exists("drop\\scan-brightfade-2.png") &&
              exists("drop\\fax-page1-brightfade.png") && exists("drop\\fax-page2-brightfade.png"),
          "drop");
    // The folder dropped on a shortcut whose target carries options: the options before the
    // files, and bfrun's own results of the drops above left out, said once.
    said.clear();
    CHECK(run_bfrun("--paper 200 --quiet drop", &said, true) == 0, "said: %s", said.c_str());
    CHECK(exists("drop\\scan-brightfade-3.png") && exists("drop\\fax-page2-brightfade-2.png") &&
              !exists("drop\\scan-brightfade-brightfade.png") &&
              !exists("drop\\scan-brightfade-2-brightfade.png"),
          "a folder dropped again");
    CHECK(said.find("bfrun: left out 4 files that bfrun wrote before (NAME-brightfade.png)\n") == 0,
          "said: %s", said.c_str());
    // Started with nothing (a double-click): how to use it, in a few lines.
    said.clear();
    CHECK(run_bfrun("", &said, true) == 1 &&
              said.find("Drop image files or a folder") != std::string::npos,
          "said: %s", said.c_str());
    said.clear();
    CHECK(run_bfrun("aply drop\\scan.png o.png", &said, true) == 1, "a mistyped verb");
    CHECK(said == "bfrun: unknown command \"aply\"\nsee bfrun --help\n", "said: %s", said.c_str());

    // A batch drawn as on a console, in one process and in three: every line whole and once,
    // the redraws only between lines; Ctrl+C after the first file stops the rest. bfrun draws
    // only on a console, so the test host runs the batch with bfrun's code, drawing on the pipe
    // (--draw-progress); its workers are test_host processes.
    CreateDirectoryA("many", nullptr);
    for (int i = 0; i < 12; ++i)
        write_bytes("many\\m" + std::to_string(10 + i) + ".png",
                    encode_test_png(random_test_png(900, 700, 4, 8, 100 + i)));
    for (int jobs : {1, 3}) {
        const std::string out = "many_out" + std::to_string(jobs);
        HANDLE read_end = nullptr;
        PROCESS_INFORMATION run =
            start_program(test_host_path,
                          "apply many -d " + out + " --draw-progress --jobs " +
                              std::to_string(jobs) + " --module \"" + module_path() + "\"",
                          read_end);
        std::string raw;
        bool pressed = false;
        char buffer[256];
        DWORD got = 0;
        while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            raw.append(buffer, got);
            if (!pressed && raw.find(" -> ") != std::string::npos) {
                press_ctrl_c(run.dwProcessId);
                pressed = true;
            }
        }
        CloseHandle(read_end);
        const int status = finish_bfrun(run);
        std::vector<std::string> lines;
        int redraws = 0;
        CHECK(lines_without_redraws(raw, lines, redraws) && redraws > 0 && !lines.empty(),
              "jobs %d: redraws %d in:\n%s", jobs, redraws, raw.c_str());
        for (const std::string& line : lines)
            CHECK(line.rfind("bfrun: ", 0) == 0 && line.find("bfrun:", 1) == std::string::npos &&
                      std::count(lines.begin(), lines.end(), line) == 1,
                  "jobs %d: line \"%s\"", jobs, line.c_str());
        // "bfrun: 12 files: D done, F failed, N not started"
        const std::string last = lines.empty() ? "" : lines.back();
        auto count_before = [&last](const char* word) {
            const size_t at = last.find(word);
            const size_t start = last.rfind(' ', at - 2);
            return at == std::string::npos || start == std::string::npos
                       ? -1L
                       : std::strtol(last.c_str() + start + 1, nullptr, 10);
        };
        const long done = count_before(" done"), failed = count_before(" failed"),
                   not_started = count_before(" not started");
        const bool summed = last.rfind("bfrun: 12 files: ", 0) == 0 && failed >= 0;
        CHECK(summed && done >= 1 && not_started >= 1 && done + failed + not_started == 12 &&
                  status == 8,
              "jobs %d: exit %d, last line %s", jobs, status,
              lines.empty() ? "" : lines.back().c_str());
        WIN32_FIND_DATAA found;
        HANDLE left = FindFirstFileA((out + "\\*.bfrun-*").c_str(), &found);
        CHECK(left == INVALID_HANDLE_VALUE, "jobs %d: a temporary file was left", jobs);
        if (left != INVALID_HANDLE_VALUE) FindClose(left);
    }
}

// Closing the console window ends bfrun, which removes its temporary file first; OUT is as it
// was. A read-only OUT is refused, not replaced.
void console_closed() {
    write_bytes("closed.in.png", encode_test_png(random_test_png(4000, 3000, 4, 8, 62)));
    const std::vector<uint8_t> before = {'k', 'e', 'e', 'p'};
    write_bytes("closed.out.png", before);
    HANDLE read_end = nullptr;
    PROCESS_INFORMATION run =
        start_program(bfrun_path, "apply closed.in.png closed.out.png", read_end);
    for (int i = 0; i < 400 && no_leftovers("closed.out.png"); ++i)
        Sleep(50);
    CHECK(!no_leftovers("closed.out.png"), "bfrun made no temporary file");
    send_console_event(run.dwProcessId, CTRL_CLOSE_EVENT, true);
    finish_bfrun(run);
    CloseHandle(read_end);
    CHECK(no_leftovers("closed.out.png"), "the temporary file was left");
    CHECK(read_bytes("closed.out.png") == before, "OUT was changed");

    write_bytes("read_only.out.png", before);
    SetFileAttributesA("read_only.out.png", FILE_ATTRIBUTE_READONLY);
    const int aside = moved_aside("read_only.out.png");
    std::string said;
    CHECK(run_bfrun("apply closed.in.png read_only.out.png", &said, true) == 4, "read-only");
    CHECK(said.find("it is read-only") != std::string::npos, "said: %s", said.c_str());
    SetFileAttributesA("read_only.out.png", FILE_ATTRIBUTE_NORMAL);
    CHECK(read_bytes("read_only.out.png") == before, "a read-only OUT was changed");
    CHECK(no_leftovers("read_only.out.png") && moved_aside("read_only.out.png") == aside,
          "a read-only OUT: a temporary file was left");
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
    {"formats", formats},
    {"bad_files", bad_files},
    {"batch", batch},
    {"in_place", in_place},
    {"large", large_image},
    {"info", info},
    {"message_box", message_box},
    {"habits", windows_habits},
    {"console_closed", console_closed},
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::printf("usage: bfrun_end_to_end BFRUN.EXE TEST_HOST.EXE CASE\n");
        return 2;
    }
    bfrun_path = windows_path(argv[1]);
    test_host_path = windows_path(argv[2]);
    for (const Case& c : kCases) {
        if (std::strcmp(c.name, argv[3]) != 0) continue;
        c.run();
        std::printf("%s: %d failure(s)\n", c.name, failures);
        return failures == 0 ? 0 : 1;
    }
    std::printf("unknown case %s\n", argv[3]);
    return 2;
}
