// The input and output files through Win32, for bfrun_win32.cpp and batch_win32.cpp.
#include "bfrun/win32/file_streams.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "bfrun/win32/console_win32.h"
#include "bfrun/win32/utf8.h"

namespace {

constexpr size_t kBufferSize = size_t{1} << 20;

std::string error_text(DWORD code) {
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return "no such file";
    if (code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL) return "the disk is full";
    if (code == ERROR_ACCESS_DENIED) return "access denied";
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION)
        return "another program has it open";
    return "Windows error " + std::to_string(code);
}

// Why bfrun does not write over a path with these attributes; empty when it may (a file that
// is not read-only, or nothing there).
std::string refusal(DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES) return "";
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "it is a folder, not a file";
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return "it is read-only, and bfrun does not replace it";
    return "";
}

// The folder part of a full path: C:\out for C:\out\a.png, C:\ for C:\a.png.
std::wstring folder_of(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L".";
    return path.substr(0, slash == 2 && path[1] == L':' ? 3 : slash);
}

} // namespace

FileSource::~FileSource() {
    close();
}

bool FileSource::open(const std::string& path) {
    HANDLE file = CreateFileW(widen_utf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = error_text(GetLastError());
        return false;
    }
    handle_ = file;
    buffer_.resize(kBufferSize);
    return true;
}

void FileSource::close() {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = nullptr;
}

size_t FileSource::read(uint8_t* to, size_t size) {
    size_t done = 0;
    while (done < size) {
        if (at_ == filled_) {
            DWORD got = 0;
            if (handle_ == nullptr ||
                !ReadFile(handle_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &got,
                          nullptr)) {
                error = "cannot read it (" + error_text(GetLastError()) + ")";
                return done;
            }
            if (got == 0) return done; // the end of the file
            at_ = 0;
            filled_ = got;
        }
        const size_t count = std::min(size - done, filled_ - at_);
        std::memcpy(to + done, buffer_.data() + at_, count);
        at_ += count;
        done += count;
    }
    return done;
}

bool FileSource::seek(uint64_t offset) {
    at_ = filled_ = 0;
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    if (handle_ != nullptr && offset <= size() &&
        SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN))
        return true;
    error = "cannot read it at byte " + std::to_string(offset);
    return false;
}

uint64_t FileSource::size() {
    LARGE_INTEGER bytes{};
    if (handle_ == nullptr || !GetFileSizeEx(handle_, &bytes)) return UINT64_MAX;
    return static_cast<uint64_t>(bytes.QuadPart);
}

ReplacingSink::~ReplacingSink() {
    abandon();
}

bool ReplacingSink::fail(const std::string& what) {
    // The code first: CloseHandle and the rest would overwrite it.
    const DWORD code = GetLastError();
    failed_ = true;
    error = what + " (" + error_text(code) + ")";
    return false;
}

bool ReplacingSink::open(const std::string& path) {
    // A full path: Wine's ReplaceFileW (8.0) cannot move a target named without a folder.
    target_ = widen_utf8(path);
    const DWORD full_size = GetFullPathNameW(target_.c_str(), 0, nullptr, nullptr);
    if (full_size > 0) {
        std::wstring full(full_size, L'\0');
        full.resize(GetFullPathNameW(target_.c_str(), full_size, full.data(), nullptr));
        if (!full.empty()) target_ = full;
    }
    error = refusal(GetFileAttributesW(target_.c_str()));
    if (!error.empty()) {
        failed_ = true;
        return false;
    }
    temporary_ = target_ + L".bfrun-" + std::to_wstring(GetCurrentProcessId());
    // DELETE access, so that the console's closing events can remove it (console_win32.h).
    HANDLE file = CreateFileW(temporary_.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        temporary_.clear();
        const DWORD code = GetLastError();
        if (code == ERROR_PATH_NOT_FOUND || code == ERROR_FILE_NOT_FOUND) {
            failed_ = true;
            error = "its folder " + narrow_utf8(folder_of(target_)) + " does not exist";
            return false;
        }
        return fail("cannot create a file beside it");
    }
    handle_ = file;
    watch_temporary_file(file);
    buffer_.reserve(kBufferSize);
    return true;
}

bool ReplacingSink::flush_buffer() {
    size_t done = 0;
    while (done < buffer_.size()) {
        DWORD put = 0;
        if (!WriteFile(handle_, buffer_.data() + done, static_cast<DWORD>(buffer_.size() - done),
                       &put, nullptr))
            return fail("write failed");
        done += put;
    }
    buffer_.clear();
    return true;
}

bool ReplacingSink::write(const uint8_t* from, size_t size) {
    if (failed_ || handle_ == nullptr) return false;
    if (buffer_.size() + size > kBufferSize && !flush_buffer()) return false;
    buffer_.insert(buffer_.end(), from, from + size);
    return true;
}

bool ReplacingSink::restart() {
    buffer_.clear();
    LARGE_INTEGER start{};
    if (failed_ || handle_ == nullptr || !SetFilePointerEx(handle_, start, nullptr, FILE_BEGIN) ||
        !SetEndOfFile(handle_))
        return fail("cannot start the file again");
    return true;
}

bool ReplacingSink::commit() {
    if (failed_ || handle_ == nullptr) return false;
    if (!flush_buffer()) return false;
    if (!FlushFileBuffers(handle_)) return fail("cannot flush it to disk");
    watch_temporary_file(nullptr);
    const BOOL closed = CloseHandle(handle_);
    handle_ = nullptr;
    if (!closed) return fail("cannot close it");
    // What is at OUT now: it may have changed during the run.
    const DWORD attributes = GetFileAttributesW(target_.c_str());
    error = refusal(attributes);
    if (!error.empty()) {
        failed_ = true;
        return false;
    }
    // An existing OUT keeps its attributes, security and creation time; a new one is the
    // temporary file renamed.
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (!replace_target()) return false;
    } else if (!MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH)) {
        return fail("cannot replace it");
    }
    // Windows' ReplaceFileW keeps the attributes itself; Wine's (8.0) does not.
    if (attributes != INVALID_FILE_ATTRIBUTES && GetFileAttributesW(target_.c_str()) != attributes)
        SetFileAttributesW(target_.c_str(), attributes);
    temporary_.clear();
    return true;
}

// ReplaceFileW with a backup name of bfrun's own. Without one, Wine's (8.0) first moves OUT
// aside under a name of its own (rfXXXX.tmp), which it leaves behind when the move fails (OUT
// held open by another program, or not this user's to move), and it would move a folder aside
// as well as a file. With one, OUT is either as it was or replaced, its old contents under the
// backup name, which is then deleted.
bool ReplacingSink::replace_target() {
    const std::wstring backup = temporary_ + L"-old";
    if (ReplaceFileW(target_.c_str(), temporary_.c_str(), backup.c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        DeleteFileW(backup.c_str());
        return true;
    }
    const DWORD code = GetLastError();
    // OUT was moved to the backup name but the new file could not take its place: it goes
    // back.
    if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
        !MoveFileExW(backup.c_str(), target_.c_str(), 0)) {
        failed_ = true;
        error = "cannot replace it, nor put it back: it is now " + narrow_utf8(backup);
        return false;
    }
    SetLastError(code);
    return fail("cannot replace it");
}

void ReplacingSink::abandon() {
    watch_temporary_file(nullptr);
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = nullptr;
    if (!temporary_.empty()) DeleteFileW(temporary_.c_str());
    temporary_.clear();
}
