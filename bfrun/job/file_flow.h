// A file's rows between its reader, the row store and its writer. Rows are written on a thread
// of their own and compressed on the writer's threads. An RGBA file written as grey + alpha
// has every row checked on its way: colour there means the module did not write the grey it
// writes, and the run fails rather than drop that colour. With --paper the rows are levelled
// as they come from the reader, within the filter rectangle (under uneven light each pixel by
// the paper where it lies, paper_light.h); with --ink they are coloured on their way to the
// writer (ink_rows.h). Why a row could not be read or written goes straight to the run's
// observer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/host_records.h"
#include "bfrun/image/image_reader.h"
#include "bfrun/image/paper_level.h"
#include "bfrun/image/paper_light.h"
#include "bfrun/image/png_writer.h"
#include "bfrun/drive/row_store.h"
#include "bfrun/drive/run_observer.h"
#include "bfrun/job/ink_rows.h"
#include "bfrun/job/row_queue.h"

class FileFlow : public RowFlow {
  public:
    // `paper` is null without --paper, `ink` without --ink; `rect` is the filter rectangle;
    // `evener`, in place of `paper`, divides out uneven light (null otherwise).
    FileFlow(ImageReader& reader, PngWriter& writer, bool grey_from_rgba, RunObserver& observer,
             const PaperLevel* paper, const VRect& rect, const PaperEvener* evener = nullptr,
             InkRows* ink = nullptr);

    bool read_row(uint8_t* row) override;
    bool read_image(uint8_t* image) override;
    bool write_row(const uint8_t* row) override;
    // After the last row: waits until it is written.
    bool finish();

  private:
    void level_rows(uint8_t* rows, uint32_t first, uint32_t count);
    bool read_failed();
    bool to_grey(const uint8_t* row);

    ImageReader& reader_;
    bool grey_from_rgba_;
    RunObserver& observer_;
    const PaperLevel* paper_;
    const PaperEvener* evener_;
    InkRows* ink_;
    VRect rect_;
    uint32_t rows_read_ = 0, rows_written_ = 0;
    std::vector<uint8_t> grey_row_;
    ImageError read_error_;
    ImageError write_error_; // set on the queue's thread, read once it has stopped
    RowQueue queue_;         // last: its thread stops before the rest goes
};
