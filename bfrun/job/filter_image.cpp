#include "bfrun/job/filter_image.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bfrun/job/file_flow.h"
#include "bfrun/job/ink_rows.h"
#include "bfrun/job/output_form.h"
#include "bfrun/job/run_setup.h"
#include "bfrun/job/run_verdict.h"
#include "bfrun/image/image_reader.h"
#include "bfrun/image/oriented_reader.h"
#include "bfrun/image/paper_level.h"
#include "bfrun/image/paper_light.h"
#include "bfrun/image/png_writer.h"
#include "bfrun/drive/row_store.h"

namespace {

// How an attempt holds the image, and how it levels the paper.
struct Plan {
    bool whole = false;
    int paper_level = kPaperUnchanged;
    bool evened = false; // --paper auto under uneven light: divided by `light`
    PaperLight light;
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
    const std::unique_ptr<ImageReader> opened = upright_reader(
        make_image_reader(input, image_error, request.page), request.keep_orientation);
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

    summary.output_channels = output_channels(image, settings, request.ink.kind);
    const bool grey_from_rgba = summary.output_channels < image.channels;
    PngWriter writer(output);
    if (!writer.start(image.width, image.height, summary.output_channels, image.bits,
                      request.compression, std::max(1, request.threads), reader.metadata(),
                      image_error))
        return image_failed();

    std::unique_ptr<PaperLevel> paper;
    if (plan.paper_level != kPaperUnchanged && !image.cmyk)
        paper = std::make_unique<PaperLevel>(plan.paper_level, image.channels, image.bits);
    std::unique_ptr<PaperEvener> evener;
    if (plan.evened && !image.cmyk)
        evener = std::make_unique<PaperEvener>(plan.light, image.channels, image.bits);
    std::unique_ptr<InkRows> ink;
    if (request.ink.kind != InkKind::none && !image.cmyk)
        ink = std::make_unique<InkRows>(request.ink, image, summary.output_channels,
                                        settings.filter_rect);
    FileFlow flow(reader, writer, grey_from_rgba, observer, paper.get(), settings.filter_rect,
                  evener.get(), ink.get());
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
// pixels by luminance, over the whole rectangle and in each cell of its grid. The file is read and
// checked in full, as the run reads it, so a file that fails here fails as the run would.
bool find_paper_level(ByteSource& input, const Pipl& pipl, const RunRequest& request,
                      RunObserver& observer, PaperChoice& choice, PaperLight& light,
                      Failure& failure) {
    ImageError image_error;
    const std::unique_ptr<ImageReader> reader = upright_reader(
        make_image_reader(input, image_error, request.page), request.keep_orientation);
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
    PaperLightCounter counter(paper_grid(static_cast<uint32_t>(r.left),
                                         static_cast<uint32_t>(r.top),
                                         static_cast<uint32_t>(r.right - r.left),
                                         static_cast<uint32_t>(r.bottom - r.top)),
                              image.channels, image.bits);
    bool read = true;
    if (image.interlaced) {
        std::vector<uint8_t> whole(image.row_bytes * image.height);
        read = reader->read_image(whole.data(), image_error);
        for (int32_t y = r.top; read && y < r.bottom; ++y)
            counter.count_row(whole.data() + static_cast<size_t>(y) * image.row_bytes,
                              static_cast<uint32_t>(y));
    } else {
        std::vector<uint8_t> row(image.row_bytes);
        for (int32_t y = 0; read && y < static_cast<int32_t>(image.height); ++y) {
            if (observer.interrupted())
                return set_failure(failure, kExitCanceled, "stopped by Ctrl+C");
            read = reader->read_row(row.data(), image_error);
            if (read && y >= r.top && y < r.bottom)
                counter.count_row(row.data(), static_cast<uint32_t>(y));
        }
    }
    if (!read || !reader->finish(image_error)) {
        failure = failure_from(image_error);
        return false;
    }
    choice = choose_paper_light(counter, light);
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
            if (!find_paper_level(input, pipl, request, observer, summary.paper, plan.light,
                                  failure))
                return failure;
            summary.paper_auto = true;
            plan.paper_level = summary.paper.level;
            plan.evened = summary.paper.found == PaperFound::evened;
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
