// bfrun's file arguments as a Windows user gives them. cmd.exe hands `*.png` to a program as it
// is, so bfrun expands `*` and `?` itself, and a folder stands for the image files directly in
// it. Portable: the file system is seen through two callbacks (Win32 in
// file_listing_win32.cpp, memory in the tests).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "bfrun/drive/exit_status.h"

struct FolderEntry {
    std::string name;
    bool folder = false;
};

struct FileSystemView {
    std::function<bool(const std::string& path)> is_folder;
    // The entries of a folder ("" for the current one), or false and why.
    std::function<bool(const std::string& folder, std::vector<FolderEntry>& entries,
                       std::string& error)>
        list;
};

// `*` or `?` in the last part of the path (wildcards elsewhere are not expanded).
bool has_wildcards(const std::string& path);

// Windows' matching of one name: `*` any run of characters, `?` one character (a UTF-8
// sequence counts as one), ASCII letters in either case, everything else as it is; `*.*` is
// every name, with or without a dot.
bool wildcard_match(const std::string& pattern, const std::string& name);

// A name bfrun takes from a folder: one that ends in an extension of kImageFormats, in any case.
bool is_image_file_name(const std::string& name);

// Each argument as it is, or, for a pattern, the files it matches, and, for a folder, its
// image files, each sorted by name (letter case aside); sub-folders are left out, and so are
// bfrun's own results of an earlier drop (NAME-brightfade.png), counted in `left_out`, so that
// a folder dropped twice is not filtered again. A pattern or folder that gives nothing fails
// the whole command line (status 2) with a line saying so.
bool expand_file_arguments(const std::vector<std::string>& arguments, const FileSystemView& files,
                           std::vector<std::string>& expanded, size_t& left_out, Failure& failure);
