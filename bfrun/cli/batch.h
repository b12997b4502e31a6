// A batch: bfrun apply IN.png... -d DIR. Where each output goes, which files are refused before
// anything is read, how the files are shared among worker processes, how a worker's command
// line is made, and the closing line. Portable; batch_win32.cpp runs it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "bfrun/cli/options.h"
#include "bfrun/drive/exit_status.h"

struct BatchItem {
    std::string input, output;
    Failure refused; // kExitDone unless the file is refused before it is read
    InputPage page;  // the page of the input, for a file of several
};

// The input as the lines name it: "scan.tif", or "scan.tif page 2 of 3".
std::string item_name(const BatchItem& item);

// A page's own name, as if it were a file: "dir\scan.tif" page 2 (from 0: 1) of 3 is
// "dir\scan-page2.tif"; the number has as many digits as the count, so names sort in page
// order ("scan-page02" of 12); a file of one page keeps its name.
std::string page_path(const std::string& path, const InputPage& page);

// Each input once, or once for each of its pages: `count_pages` gives an input's page count,
// or a failure that refuses the file (a damaged chain of pages), and leaves the count 1.
std::vector<BatchItem>
split_pages(const std::vector<std::string>& inputs,
            const std::function<Failure(const std::string&, uint32_t&)>& count_pages);

// The name after the last '/' or '\'.
std::string base_name(const std::string& path);

// A file name as bfrun's output: `name` with its extension (after the last '.' of the base
// name) replaced by .png, or `name` itself when it already ends in .png in any case.
std::string png_name(const std::string& name);

// For an OUT whose extension names another image format ("jpg", "tiff", ...): that format's
// name; otherwise empty. bfrun writes PNG only.
std::string other_image_format(const std::string& path);

// The items of split_pages given their outputs, in order of the input paths (a file's pages in
// their order): DIR and the input's name (page_path's for a page) as a PNG. Refused (status 1):
// an input whose output would replace the input itself (`same_file` says so), and every input
// of a group whose outputs would have one name (letter case aside, as Windows sees names).
std::vector<BatchItem> plan_batch(std::vector<BatchItem> items, const std::string& directory,
                                  bool (*same_file)(const std::string&, const std::string&));

// The indices of `count` items dealt out to `jobs` workers in turn; no empty share.
std::vector<std::vector<size_t>> share_out(size_t count, int jobs);

// The threads each worker compresses on: the processors shared out among the workers.
int worker_threads(int processors, size_t workers);

// The arguments of a worker: the batch's options less --jobs and -d, then its files, each
// input followed by its page ("2/3", from 1) and its output; the worker compresses on
// `threads` threads.
std::vector<std::string> worker_arguments(const std::vector<std::string>& option_args,
                                          const std::vector<BatchItem>& items, int threads);

// Drag and drop: NAME-brightfade.png beside the input, or NAME-brightfade-2.png and on where
// that name is taken (`taken` says so, letter case aside as Windows sees names). A page of a
// file is named as page_path names it: NAME-page2-brightfade.png.
std::string dropped_output(const std::string& input, const InputPage& page,
                           const std::function<bool(const std::string&)>& taken);
// A name dropped_output gives (NAME-brightfade.png, NAME-brightfade-2.png...), letter case aside.
bool is_dropped_output(const std::string& name);

// One argument quoted for a Windows command line, as the C runtime splits it again.
std::string quote_argument(const std::string& argument);
