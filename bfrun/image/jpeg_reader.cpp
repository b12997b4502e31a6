#include "bfrun/image/jpeg_reader.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "bfrun/image/resolution.h"
#include "bfrun/image/tiff_directories.h"

struct JpegDecoder {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_source_mgr input{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    ByteSource* source = nullptr;
    uint8_t buffer[16384] = {};
    uint64_t fed = 0; // bytes given to libjpeg so far
    // Why libjpeg stopped: the message code and its text, or one of the reader's own reasons.
    int code = 0;
    char message[JMSG_LENGTH_MAX] = {};
    bool damaged = false; // a warning: libjpeg would have filled in what is missing
    bool too_many_scans = false;
    bool source_failed = false;
    bool out_of_memory = false;
    JDIMENSION rows_got = 0;
    std::vector<uint8_t> grey; // a grey row before the alpha is added

    uint64_t position() const { return fed - input.bytes_in_buffer; }
};

namespace {

JpegDecoder& decoder_of(j_common_ptr cinfo) {
    return *static_cast<JpegDecoder*>(cinfo->client_data);
}

// Back to run_step, which started the libjpeg call; nothing in the frames between owns
// anything.
[[noreturn]] void stop(JpegDecoder& d) {
    // libjpeg's error_exit must not return, and its C frames cannot pass an exception.
    std::longjmp(d.jump, 1); // NOLINT(cert-err52-cpp)
}

[[noreturn]] void on_error(j_common_ptr cinfo) {
    JpegDecoder& d = decoder_of(cinfo);
    d.code = cinfo->err->msg_code;
    (*cinfo->err->format_message)(cinfo, d.message);
    stop(d);
}

// Level -1 is a warning: corrupt data, a cut file, a bad marker, where libjpeg would go on
// with grey in place of what it could not decode. Higher levels are trace messages.
void on_message(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    decoder_of(cinfo).damaged = true;
    on_error(cinfo);
}

void on_progress(j_common_ptr cinfo) {
    JpegDecoder& d = decoder_of(cinfo);
    if (d.cinfo.input_scan_number <= kJpegScanLimit) return;
    d.too_many_scans = true;
    stop(d);
}

void init_source(j_decompress_ptr) {}
void term_source(j_decompress_ptr) {}

boolean fill_input(j_decompress_ptr cinfo) {
    JpegDecoder& d = decoder_of(reinterpret_cast<j_common_ptr>(cinfo));
    size_t got = 0;
    try {
        got = d.source->read(d.buffer, sizeof d.buffer);
    } catch (const std::bad_alloc&) {
        d.out_of_memory = true;
    }
    if (d.out_of_memory || !d.source->error.empty()) {
        d.source_failed = true;
        ERREXIT(cinfo, JERR_FILE_READ);
    }
    if (got == 0) {
        // The file ends before the image does: libjpeg's own answer is an end marker and a
        // warning, which refuses the file.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        d.buffer[0] = 0xFF;
        d.buffer[1] = JPEG_EOI;
        got = 2;
    }
    d.fed += got;
    d.input.next_input_byte = d.buffer;
    d.input.bytes_in_buffer = got;
    return TRUE;
}

void skip_input(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr& input = *cinfo->src;
    while (count > static_cast<long>(input.bytes_in_buffer)) {
        count -= static_cast<long>(input.bytes_in_buffer);
        input.bytes_in_buffer = 0;
        fill_input(cinfo);
    }
    if (count <= 0) return;
    input.next_input_byte += count;
    input.bytes_in_buffer -= static_cast<size_t>(count);
}

enum class Step { create, header, start, row, finish };

// Runs one libjpeg call. Its errors, and the warnings and limits that stop it, come back here
// through longjmp, so this frame holds nothing with a destructor; false when they did.
bool run_step(JpegDecoder* d, Step step, JSAMPROW row, long memory_limit) {
    if (setjmp(d->jump) != 0) return false; // NOLINT(cert-err52-cpp): see stop
    switch (step) {
    case Step::create:
        jpeg_create_decompress(&d->cinfo);
        d->cinfo.mem->max_memory_to_use = memory_limit;
        jpeg_save_markers(&d->cinfo, JPEG_APP0 + 1, 0xFFFF);
        break;
    case Step::header:
        jpeg_read_header(&d->cinfo, TRUE);
        break;
    case Step::start:
        jpeg_start_decompress(&d->cinfo);
        break;
    case Step::row:
        d->rows_got = jpeg_read_scanlines(&d->cinfo, &row, 1);
        break;
    case Step::finish:
        jpeg_finish_decompress(&d->cinfo);
        break;
    }
    return true;
}

} // namespace

JpegReader::JpegReader(ByteSource& source) : source_(source) {}

JpegReader::~JpegReader() {
    // Safe on a half-made object too: a failed create leaves no memory manager.
    if (decoder_ != nullptr) jpeg_destroy_decompress(&decoder_->cinfo);
}

bool JpegReader::fail(ImageError& failure) {
    failed_ = true;
    const JpegDecoder& d = *decoder_;
    const std::string said = std::string(" (libjpeg: ") + d.message + ")";
    const std::string at = " at byte " + std::to_string(d.position());
    if (d.out_of_memory || d.code == JERR_OUT_OF_MEMORY)
        return image_fail(failure, ImageErrorKind::out_of_memory, "out of memory");
    if (d.source_failed)
        return image_fail(failure, ImageErrorKind::bad_input, "cannot read it: " + source_.error);
    if (d.too_many_scans)
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the JPEG has more than " + std::to_string(kJpegScanLimit) +
                              " scans (damaged data)" + at);
    if (d.code == JWRN_JPEG_EOF)
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the file ends early, after byte " + std::to_string(d.fed) + said);
    if (d.code == JERR_NO_BACKING_STORE)
        return image_fail(failure, ImageErrorKind::too_large,
                          "the JPEG needs more memory to decode than bfrun gives it (" +
                              std::to_string(memory_limit_ >> 20) +
                              " MiB; a progressive file's coefficients are held whole)");
    if (d.damaged)
        return image_fail(failure, ImageErrorKind::bad_input,
                          "the JPEG data is damaged" + at + said);
    return image_fail(failure, ImageErrorKind::bad_input, "malformed JPEG" + at + said);
}

bool JpegReader::open(const ReadLimits& limits, ImageError& failure) {
    decoder_ = std::make_unique<JpegDecoder>();
    JpegDecoder& d = *decoder_;
    d.source = &source_;
    d.cinfo.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = on_error;
    d.errors.emit_message = on_message;
    d.cinfo.client_data = &d;
    // libjpeg's limit is a long, 32 bits on Windows.
    memory_limit_ = std::min<uint64_t>(limits.max_decoder_bytes, LONG_MAX);
    if (!run_step(&d, Step::create, nullptr, static_cast<long>(memory_limit_)))
        return fail(failure);
    d.input.init_source = init_source;
    d.input.fill_input_buffer = fill_input;
    d.input.skip_input_data = skip_input;
    d.input.resync_to_restart = jpeg_resync_to_restart;
    d.input.term_source = term_source;
    d.cinfo.src = &d.input;
    d.progress.progress_monitor = on_progress;
    d.cinfo.progress = &d.progress;
    if (!run_step(&d, Step::header, nullptr, 0)) return fail(failure);

    const jpeg_decompress_struct& c = d.cinfo;
    if (!within_read_limits(c.image_width, c.image_height, limits, failure)) {
        failed_ = true;
        return false;
    }
    const bool grey = c.jpeg_color_space == JCS_GRAYSCALE && c.num_components == 1;
    const bool colour =
        (c.jpeg_color_space == JCS_YCbCr || c.jpeg_color_space == JCS_RGB) && c.num_components == 3;
    layout_.cmyk =
        (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK) && c.num_components == 4;
    if (!grey && !colour && !layout_.cmyk) {
        failed_ = true;
        return image_fail(failure, ImageErrorKind::bad_input,
                          "a JPEG of " + std::to_string(c.num_components) +
                              " components that are neither grey, colour nor CMYK, which bfrun "
                              "does not read");
    }
    read_metadata();
    layout_.width = c.image_width;
    layout_.height = c.image_height;
    layout_.channels = grey ? 2 : 4;
    layout_.bits = 8;
    layout_.row_bytes = size_t{layout_.width} * layout_.channels;
    if (layout_.cmyk) return true;

    d.cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_RGBA;
    if (grey) d.grey.resize(layout_.width);
    return run_step(&d, Step::start, nullptr, 0) || fail(failure);
}

// The resolution from JFIF's density where it has a unit, else from the Exif block's IFD0
// (cameras leave JFIF's at 1:1 without a unit), else JFIF's aspect alone; the orientation from
// the Exif block's IFD0.
void JpegReader::read_metadata() {
    const jpeg_decompress_struct& c = decoder_->cinfo;
    const Rational x = {c.X_density, 1}, y = {c.Y_density, 1};
    const bool jfif = c.saw_JFIF_marker;
    if (jfif && (c.density_unit == 1 || c.density_unit == 2))
        set_resolution(metadata_, x, y, static_cast<ResolutionUnit>(c.density_unit + 1));
    static const uint8_t exif[6] = {'E', 'x', 'i', 'f', 0, 0};
    for (jpeg_saved_marker_ptr m = c.marker_list; m != nullptr; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length <= sizeof exif ||
            std::memcmp(m->data, exif, sizeof exif) != 0)
            continue;
        MemorySource stream(m->data + sizeof exif, m->data_length - sizeof exif);
        TiffHeader header;
        if (read_tiff_header(stream, header)) {
            if (!metadata_.has_resolution)
                set_resolution(metadata_,
                               read_tiff_resolution(stream, header, header.first_directory));
            metadata_.orientation =
                read_tiff_orientation(stream, header, header.first_directory).value;
        }
        metadata_.chunks.push_back(
            {"eXIf", std::vector<uint8_t>(m->data + sizeof exif, m->data + m->data_length), false});
        break;
    }
    if (!metadata_.has_resolution && jfif && c.density_unit == 0)
        set_resolution(metadata_, x, y, ResolutionUnit::none);
}

bool JpegReader::read_row(uint8_t* row, ImageError& failure) {
    if (layout_.cmyk)
        return image_fail(failure, ImageErrorKind::bad_input,
                          "a CMYK JPEG, which bfrun does not "
                          "decode");
    if (failed_ || rows_read_ >= layout_.height)
        return image_fail(failure, ImageErrorKind::bad_input, "no more rows to read");
    JpegDecoder& d = *decoder_;
    const bool grey = layout_.channels == 2;
    if (!run_step(&d, Step::row, grey ? d.grey.data() : row, 0)) return fail(failure);
    if (d.rows_got != 1) {
        failed_ = true;
        return image_fail(failure, ImageErrorKind::bad_input,
                          "libjpeg gave no row " + std::to_string(rows_read_));
    }
    if (grey)
        for (size_t x = 0; x < layout_.width; ++x) {
            row[2 * x] = d.grey[x];
            row[2 * x + 1] = 255;
        }
    ++rows_read_;
    return true;
}

bool JpegReader::finish(ImageError& failure) {
    if (failed_ || layout_.cmyk || rows_read_ < layout_.height)
        return image_fail(failure, ImageErrorKind::bad_input, "the image was not read to its end");
    return run_step(decoder_.get(), Step::finish, nullptr, 0) || fail(failure);
}
