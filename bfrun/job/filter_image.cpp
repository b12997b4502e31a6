#include "bfrun/job/filter_image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bfrun/job/output_form.h"
#include "bfrun/job/run_setup.h"
#include "bfrun/job/run_verdict.h"
#include "bfrun/image/image_reader.h"
#include "bfrun/image/paper_level.h"
#include "bfrun/image/png_writer.h"
#include "bfrun/job/row_queue.h"
#include "bfrun/drive/row_store.h"

namespace {

// The reader and writer as the row store sees them; rows are written on a thread of their own,
// and compressed on the writer's threads. An RGBA file written as grey + alpha has every row
// checked on its way: colour there means the module did not write the grey it writes, and the
// run fails rather than drop that colour. With --paper the rows are levelled as they come from
// the reader, within the filter rectangle. Why a row could not be read or written goes
// straight to the observer.
struct FileFlow : RowFlow {
    FileFlow(ImageReader& reader, PngWriter& writer, bool grey_from_rgba, RunObserver& observer,
             const PaperLevel* paper, const VRect& rect)
        : reader(reader), grey_from_rgba(grey_from_rgba), observer(observer), paper(paper),
          rect(rect), queue(output_row_bytes(reader.layout(), grey_from_rgba),
                            queued_rows(output_row_bytes(reader.layout(), grey_from_rgba)),
                            [this, &writer](const uint8_t* row) {
                                return writer.write_row(row, write_error);
                            }) {
        if (grey_from_rgba) grey_row.resize(output_row_bytes(reader.layout(), true));
    }

    // 64 rows, or fewer for rows so wide that 64 would pass 16 MiB; 2 at least.
    static size_t queued_rows(size_t row_bytes) {
        const size_t fit = (size_t{16} << 20) / std::max<size_t>(row_bytes, 1);
        return std::max<size_t>(2, std::min<size_t>(64, fit));
    }

    static size_t output_row_bytes(const ImageLayout& layout, bool grey) {
        return grey ? size_t{layout.width} * 2 * (layout.bits / 8) : layout.row_bytes;
    }

    bool read_row(uint8_t* row) override {
        if (!reader.read_row(row, read_error)) return read_failed();
        level_rows(row, rows_read++, 1);
        return true;
    }
    bool read_image(uint8_t* image) override {
        if (!reader.read_image(image, read_error)) return read_failed();
        level_rows(image, 0, reader.layout().height);
        return true;
    }

    // Rows first..first+count-1, held from `rows` on.
    void level_rows(uint8_t* rows, uint32_t first, uint32_t count) {
        if (paper == nullptr) return;
        const uint32_t top = static_cast<uint32_t>(rect.top),
                       bottom = static_cast<uint32_t>(rect.bottom);
        for (uint32_t y = std::max(first, top); y < std::min(first + count, bottom); ++y)
            paper->apply(rows + size_t{y - first} * reader.layout().row_bytes,
                         static_cast<size_t>(rect.left), static_cast<size_t>(rect.right));
    }

    bool read_failed() { return observer.fail(failure_from(read_error)); }

    bool write_row(const uint8_t* row) override {
        if (observer.interrupted()) return observer.fail({kExitCanceled, "stopped by Ctrl+C"});
        if (grey_from_rgba && !to_grey(row))
            return observer.fail({kExitProtocolFault, "the module wrote colour in row " +
                                                          std::to_string(rows_written) +
                                                          ", where its result is grey"});
        if (!queue.push(grey_from_rgba ? grey_row.data() : row))
            return observer.fail(failure_from(write_error));
        ++rows_written;
        return true;
    }

    // After the last row: waits until it is written.
    bool finish() { return queue.finish() || observer.fail(failure_from(write_error)); }

    // RGBA to grey + alpha, false at the first pixel with colour.
    bool to_grey(const uint8_t* row) {
        const size_t width = reader.layout().width;
        if (reader.layout().bits == 16) {
            for (size_t x = 0; x < width; ++x) {
                uint16_t p[4];
                std::memcpy(p, row + 8 * x, 8);
                if (p[0] != p[1] || p[1] != p[2]) return false;
                std::memcpy(grey_row.data() + 4 * x, p, 2);
                std::memcpy(grey_row.data() + 4 * x + 2, p + 3, 2);
            }
        } else {
            for (size_t x = 0; x < width; ++x) {
                const uint8_t* p = row + 4 * x;
                if (p[0] != p[1] || p[1] != p[2]) return false;
                grey_row[2 * x] = p[0];
                grey_row[2 * x + 1] = p[3];
            }
        }
        return true;
    }

    ImageReader& reader;
    bool grey_from_rgba;
    RunObserver& observer;
    const PaperLevel* paper; // null without --paper
    VRect rect;
    uint32_t rows_read = 0, rows_written = 0;
    std::vector<uint8_t> grey_row;
    ImageError read_error;
    ImageError write_error; // set on the queue's thread, read once it has stopped
    RowQueue queue;         // last: its thread stops before the rest goes
};

// How an attempt holds the image, and how it levels the paper.
struct Plan {
    bool whole = false;
    int paper_level = kPaperUnchanged;
};

enum class Next { done, again };

Next attempt(ByteSource& input, ByteSink& output, PluginEntry entry, const Pipl& pipl,
             const RunRequest& request, RunObserver& observer, Plan& plan, FilterSummary& summary,
             Failure& failure) {
    ImageError image_error;
    auto image_failed = [&] {
        failure = failure_from(image_error);
        return Next::done;
    };
    // The row flow or the module's run stopped, and told the observer why.
    auto stopped = [&] {
        failure = observer.failure();
        return Next::done;
    };
    const std::unique_ptr<ImageReader> opened = make_image_reader(input, image_error);
    if (opened == nullptr) return image_failed();
    ImageReader& reader = *opened;
    if (!reader.open(read_limits_for(pipl, request), image_error)) return image_failed();
    const ImageLayout& image = reader.layout();
    summary.width = image.width;
    summary.height = image.height;

    RunSettings settings;
    std::string error;
    const ExitStatus status = setup_run(request, pipl, image, settings, error);
    if (status != kExitDone) {
        set_failure(failure, status, error);
        return Next::done;
    }

    summary.output_channels = output_channels(image, settings);
    const bool grey_from_rgba = summary.output_channels < image.channels;
    PngWriter writer(output);
    if (!writer.start(image.width, image.height, summary.output_channels, image.bits,
                      request.compression, std::max(1, request.threads), reader.metadata(),
                      image_error))
        return image_failed();

    std::unique_ptr<PaperLevel> paper;
    if (plan.paper_level != kPaperUnchanged && !image.cmyk)
        paper = std::make_unique<PaperLevel>(plan.paper_level, image.channels, image.bits);
    FileFlow flow(reader, writer, grey_from_rgba, observer, paper.get(), settings.filter_rect);
    RowStore store(image.width, image.height, image.channels, image.bits,
                   plan.whole || image.interlaced, flow);
    summary.whole_image = store.whole();
    ++summary.attempts;
    if (!store.load()) return stopped();
    const RunReport report = run_filter(entry, store, settings, observer);
    summary.requests = report.requests;
    summary.peak_rows = store.peak_rows();
    // The module asked again for rows already written. Which rows a module asks for is known
    // only as it asks (its property list says nothing of the order of its bands; Brightfade
    // goes down the image), and holding every image whole in case would give up the memory
    // the window of rows saves; so this alone is found during the run, which then starts again
    // with the image held.
    if (report.rows_gone && !plan.whole) {
        plan.whole = true;
        return Next::again;
    }
    if (observer.failed()) return stopped();
    if (observer.interrupted()) {
        set_failure(failure, kExitCanceled, "stopped by Ctrl+C");
        return Next::done;
    }
    const ExitStatus outcome = run_exit_status(report, error);
    if (outcome != kExitDone) {
        set_failure(failure, outcome, error);
        return Next::done;
    }
    if (!store.release_all() || !flow.finish()) return stopped();
    if (!reader.finish(image_error) || !writer.finish(reader.metadata(), image_error))
        return image_failed();
    summary.warnings = reader.warnings();
    if (observer.interrupted()) {
        set_failure(failure, kExitCanceled, "stopped by Ctrl+C");
        return Next::done;
    }
    failure = Failure{};
    return Next::done;
}

// --paper auto: a pass over the file before the module runs, counting the filter rectangle's
// pixels by luminance. The file is read and checked in full, as the run reads it, so a file
// that fails here fails as the run would.
bool find_paper_level(ByteSource& input, const Pipl& pipl, const RunRequest& request,
                      RunObserver& observer, PaperChoice& choice, Failure& failure) {
    ImageError image_error;
    const std::unique_ptr<ImageReader> reader = make_image_reader(input, image_error);
    if (reader == nullptr || !reader->open(read_limits_for(pipl, request), image_error)) {
        failure = failure_from(image_error);
        return false;
    }
    const ImageLayout& image = reader->layout();
    RunSettings settings;
    std::string error;
    const ExitStatus status = setup_run(request, pipl, image, settings, error);
    if (status != kExitDone) return set_failure(failure, status, error);
    if (image.cmyk) return true; // not decoded: the module refuses it
    const VRect& r = settings.filter_rect;
    LuminanceHistogram histogram{};
    auto count_row = [&](const uint8_t* row) {
        count_luminance(row, image.channels, image.bits, static_cast<size_t>(r.left),
                        static_cast<size_t>(r.right), histogram);
    };
    bool read = true;
    if (image.interlaced) {
        std::vector<uint8_t> whole(image.row_bytes * image.height);
        read = reader->read_image(whole.data(), image_error);
        for (int32_t y = r.top; read && y < r.bottom; ++y)
            count_row(whole.data() + static_cast<size_t>(y) * image.row_bytes);
    } else {
        std::vector<uint8_t> row(image.row_bytes);
        for (int32_t y = 0; read && y < static_cast<int32_t>(image.height); ++y) {
            if (observer.interrupted())
                return set_failure(failure, kExitCanceled, "stopped by Ctrl+C");
            read = reader->read_row(row.data(), image_error);
            if (read && y >= r.top && y < r.bottom) count_row(row.data());
        }
    }
    if (!read || !reader->finish(image_error)) {
        failure = failure_from(image_error);
        return false;
    }
    choice = choose_paper_level(histogram);
    return true;
}

} // namespace

Failure filter_image(ByteSource& input, ByteSink& output, PluginEntry entry, const Pipl& pipl,
                     const RunRequest& request, RunObserver& observer, FilterSummary& summary) {
    Failure failure;
    Plan plan;
    summary = FilterSummary{};
    plan.paper_level = request.paper_level;
    try {
        if (request.paper_auto) {
            if (!find_paper_level(input, pipl, request, observer, summary.paper, failure))
                return failure;
            summary.paper_auto = true;
            plan.paper_level = summary.paper.level;
            if (!input.rewind())
                return Failure{kExitBadInput, "cannot read the file again: " + input.error};
        }
        // At most two runs: as planned, then with the image held (attempt says when).
        for (int run = 0; run < 2; ++run) {
            if (run > 0 && (!input.rewind() || !output.restart()))
                return Failure{kExitWriteFailed,
                               "cannot start the file again: " +
                                   (input.error.empty() ? output.error : input.error)};
            if (attempt(input, output, entry, pipl, request, observer, plan, summary, failure) ==
                Next::done)
                return failure;
        }
    } catch (const std::bad_alloc&) {
        return Failure{kExitOutOfMemory, "out of memory"};
    }
    return Failure{kExitProtocolFault, "the module asked again for rows already written, twice"};
}
