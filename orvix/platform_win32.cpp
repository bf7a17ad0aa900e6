// The operating-system part of the assembler on Windows. Paths arrive in
// UTF-8 and go to the wide-character functions, so any name works,
// whatever the system's ANSI code page, and in their extended form when
// they are long, so any length works. What is printed to a console goes to
// it as characters.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "orvix/platform.h"

namespace {

// `text` (UTF-8) in UTF-16; "" when it is not valid UTF-8.
std::wstring widen(const char* text) {
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

// `wide` (UTF-16) in UTF-8.
std::string narrow(const wchar_t* wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &text[0], n, nullptr, nullptr);
  text.resize(static_cast<size_t>(n - 1));
  return text;
}

// A path in its extended form, which the system takes as it stands and at
// any length: "\\?\C:\dir\name", "\\?\UNC\host\share\name".
const wchar_t kExtended[] = L"\\\\?\\";

// `path` in a form the system takes at any length: as it is while its full
// path fits in MAX_PATH, else that full path in its extended form.
std::wstring longform(const std::wstring& path) {
  if (path.compare(0, 4, kExtended) == 0) return path;
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n < MAX_PATH) return path;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  // A device ("\\.\NUL") stays as it is.
  if (full.compare(0, 4, L"\\\\.\\") == 0) return path;
  if (full.compare(0, 2, L"\\\\") == 0) return kExtended + (L"UNC" + full.substr(1));
  return kExtended + full;
}

// The path the wide-character functions are given for the UTF-8 `path`:
// "/" a separator as the backslash is (Wine alone would take "/name" for a
// name on its host), in a form that any length takes (longform). "" when
// `path` is empty or not UTF-8.
std::wstring systempath(const char* path) {
  std::wstring wide = widen(path);
  // An extended path is taken as it stands, "/" included.
  if (wide.compare(0, 4, kExtended) == 0) return wide;
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return longform(wide);
}

// An open handle that closes itself.
class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (ok()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// Opens `path` only to ask about it (no access to its contents), following
// links, sharing everything; a directory opens too.
HANDLE openquery(const std::wstring& path) {
  return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The directory part of `path` with its final separator; "" for a bare
// name. "C:name" is a name in the current directory of drive C.
std::wstring directoryof(const std::wstring& path) {
  size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos) {
    return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : std::wstring();
  }
  return path.substr(0, cut + 1);
}

// The file `h` leads to once links are followed, as a full path; `path`
// when the system cannot tell.
std::wstring finalpath(HANDLE h, const std::wstring& path) {
  DWORD n = GetFinalPathNameByHandleW(h, nullptr, 0, FILE_NAME_NORMALIZED);
  if (n == 0) return path;
  std::wstring full(n, L'\0');
  n = GetFinalPathNameByHandleW(h, &full[0], n, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  // "\\?\C:\dir\name" is "C:\dir\name"; "\\?\UNC\host\share" is "\\host\share".
  if (full.compare(0, 8, L"\\\\?\\UNC\\") == 0) return longform(L"\\\\" + full.substr(8));
  if (full.compare(0, 4, L"\\\\?\\") == 0) return longform(full.substr(4));
  return full;
}

// Writes `text` into `fp`, stores it on disk and closes it; true when
// every write, the flush and the close succeeded.
bool finishfile(FILE* fp, const std::string& text, bool sync) {
  fwrite(text.data(), 1, text.size(), fp);
  bool ok = fflush(fp) == 0 && !ferror(fp);
  if (ok && sync) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(fp)));
    ok = FlushFileBuffers(h) != 0;
  }
  if (fclose(fp) != 0) ok = false;
  return ok;
}

// The console's output code page before the run, given back at its end.
UINT console_output_cp = 0;

void restoreconsole() { SetConsoleOutputCP(console_output_cp); }

}  // namespace

char** startprocess(int argc, wchar_t** argv) {
  // The console shows what is printed as UTF-8, as the paths are, for the
  // run alone: the console's own code page comes back when the process ends.
  console_output_cp = GetConsoleOutputCP();
  if (console_output_cp != 0 && SetConsoleOutputCP(CP_UTF8)) atexit(restoreconsole);
  static std::vector<std::string> args;
  static std::vector<char*> pointers;
  for (int i = 0; i < argc; i++) args.push_back(narrow(argv[i]));
  for (std::string& a : args) pointers.push_back(&a[0]);
  pointers.push_back(nullptr);
  return pointers.data();
}

FILE* openfile(const char* path, const char* mode) {
  const std::wstring wide = systempath(path);
  if (wide.empty()) {
    errno = ENOENT;
    return nullptr;
  }
  return _wfopen(wide.c_str(), widen(mode).c_str());
}

const bool kTextEndsAtCtrlZ = true;

void printtext(FILE* stream, const std::string& text) {
  // The system's handle of the stream, asked of the system: the C library
  // would end the process over a stream it holds no handle for.
  const DWORD which = stream == stdout   ? STD_OUTPUT_HANDLE
                      : stream == stderr ? STD_ERROR_HANDLE
                                         : 0;
  HANDLE h = which != 0 ? GetStdHandle(which) : INVALID_HANDLE_VALUE;
  DWORD mode = 0;
  if (text.empty() || h == nullptr || h == INVALID_HANDLE_VALUE || !GetConsoleMode(h, &mode)) {
    fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  // A console shows characters: bytes would be read in its code page, which
  // Wine's, for one, does not take as UTF-8. Bytes that are not UTF-8 show
  // as U+FFFD. What the stream holds comes first.
  fflush(stream);
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, crlf.data(), static_cast<int>(crlf.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(std::max(n, 0)), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, 0, crlf.data(), static_cast<int>(crlf.size()), &wide[0], n);
  }
  size_t done = 0;
  while (done < wide.size()) {
    // In pieces a console takes at once, never between the two halves of a
    // surrogate pair.
    DWORD piece = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 4096));
    if (done + piece < wide.size() && IS_HIGH_SURROGATE(wide[done + piece - 1])) piece--;
    DWORD written = 0;
    if (!WriteConsoleW(h, wide.data() + done, piece, &written, nullptr) || written == 0) break;
    done += written;
  }
  if (done < wide.size()) {
    // The rest as bytes in text mode (its LF line ends again), which fail,
    // if they do, where ferror tells.
    std::string rest;
    for (const char c : narrow(wide.c_str() + done)) {
      if (c == '\n' && !rest.empty() && rest.back() == '\r') rest.pop_back();
      rest += c;
    }
    fwrite(rest.data(), 1, rest.size(), stream);
  }
}

namespace {

// The error number of the C library for the Windows error `err`, for the
// reasons told to the user; EIO for an error the table does not know.
int errnoof(DWORD err) {
  static const struct {
    DWORD windows;
    int posix;
  } kErrors[] = {
      {ERROR_FILE_NOT_FOUND, ENOENT},
      {ERROR_PATH_NOT_FOUND, ENOENT},
      {ERROR_INVALID_NAME, ENOENT},
      {ERROR_DIRECTORY, ENOENT},
      {ERROR_ACCESS_DENIED, EACCES},
      {ERROR_SHARING_VIOLATION, EACCES},
      {ERROR_LOCK_VIOLATION, EACCES},
      {ERROR_WRITE_PROTECT, EROFS},
      {ERROR_DISK_FULL, ENOSPC},
      {ERROR_HANDLE_DISK_FULL, ENOSPC},
      {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
  };
  for (const auto& e : kErrors) {
    if (e.windows == err) return e.posix;
  }
  return EIO;
}

// Makes a new empty file in the directory `dir` ("" for the current one) for
// a text that replaces a file there, open for writing as `fp`, and returns
// its path; "" when none could be made.
std::wstring maketemp(const std::wstring& dir, FILE*& fp) {
  // A name no other run is likely to pick: the process and the time, then
  // the next of a sequence when one is taken.
  uint32_t tag = GetCurrentProcessId() * 2654435761u ^ static_cast<uint32_t>(GetTickCount64());
  for (int tries = 0; tries < 100; tries++, tag += 0x9e3779b9u) {
    wchar_t name[16];
    swprintf(name, 16, L"orv%08X.tmp", static_cast<unsigned>(tag));
    const std::wstring path = longform(dir + name);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = GetLastError();
      if (err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS) continue;
      return std::wstring();
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_TEXT);
    if (fd == -1) CloseHandle(h);
    fp = fd == -1 ? nullptr : _fdopen(fd, "w");
    if (fp == nullptr) {
      if (fd != -1) _close(fd);
      DeleteFileW(path.c_str());
      return std::wstring();
    }
    return path;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return std::wstring();
}

// replacefile without its error number.
bool replacewhole(const char* path, const std::string& text) {
  const std::wstring wide = systempath(path);
  if (wide.empty()) {
    errno = ENOENT;
    return false;
  }
  std::wstring target = wide;
  {
    Handle existing(openquery(wide));
    if (existing.ok()) {
      // NUL, CON, a pipe: written in place.
      if (GetFileType(existing.get()) != FILE_TYPE_DISK) {
        FILE* fp = _wfopen(wide.c_str(), L"w");
        return fp != nullptr && finishfile(fp, text, false);
      }
      BY_HANDLE_FILE_INFORMATION info;
      if (!GetFileInformationByHandle(existing.get(), &info)) return false;
      const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
      if (info.dwFileAttributes & refused) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
      }
      // A link is followed: the file it leads to is replaced.
      target = finalpath(existing.get(), wide);
      // Refuse a file the user may not write, as opening it would. A file
      // open elsewhere without write sharing may still be replaced; the
      // rename decides.
      Handle writable(CreateFileW(target.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
      if (!writable.ok() && GetLastError() != ERROR_SHARING_VIOLATION) return false;
    }
  }

  FILE* fp = nullptr;
  const std::wstring temp = maketemp(directoryof(target), fp);
  if (temp.empty()) return false;
  bool ok = finishfile(fp, text, true);
  // One step, stored on disk before it returns. It fails, and the target
  // stays whole, when another program holds the target open without
  // sharing it for deletion.
  if (ok && !MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
  }
  if (!ok) {
    const DWORD err = GetLastError();
    DeleteFileW(temp.c_str());
    SetLastError(err);
  }
  return ok;
}

}  // namespace

bool replacefile(const char* path, const std::string& text) {
  errno = 0;
  SetLastError(ERROR_SUCCESS);
  if (replacewhole(path, text)) return true;
  // The C library's own error where it failed, else the system's.
  if (errno == 0) errno = errnoof(GetLastError());
  return false;
}

namespace {

// What names a file: the file itself when it exists (its volume and index),
// else its directory and its name there as Windows compares names.
struct FileIdentity {
  bool exists = false;
  DWORD volume = 0;
  DWORD index_high = 0;
  DWORD index_low = 0;
  std::wstring name;  // when it does not exist: trailing dots and blanks dropped
};

// The identity of the disk file or directory open as `h`.
bool identifyhandle(HANDLE h, FileIdentity& id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index_high = info.nFileIndexHigh;
  id.index_low = info.nFileIndexLow;
  return true;
}

// The identity of the file `path` names; false when it names none.
bool identify(const char* path, FileIdentity& id) {
  const std::wstring wide = systempath(path);
  if (wide.empty()) return false;
  {
    Handle file(openquery(wide));
    if (file.ok()) {
      id.exists = true;
      return identifyhandle(file.get(), id);
    }
  }
  // The full path, as Windows makes it: "." and ".." resolved, the current
  // directory of a drive filled in, trailing dots and blanks dropped.
  DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return false;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) return false;
  full.resize(n);
  const size_t cut = full.find_last_of(L"\\/");
  if (cut == std::wstring::npos || cut + 1 == full.size()) return false;
  id.name = full.substr(cut + 1);
  while (!id.name.empty() && (id.name.back() == L'.' || id.name.back() == L' ')) {
    id.name.pop_back();
  }
  Handle dir(openquery(full.substr(0, cut + 1)));
  return !id.name.empty() && dir.ok() && identifyhandle(dir.get(), id);
}

}  // namespace

bool samefile(const char* a, const char* b) {
  FileIdentity ia, ib;
  return identify(a, ia) && identify(b, ib) && ia.exists == ib.exists && ia.volume == ib.volume &&
         ia.index_high == ib.index_high && ia.index_low == ib.index_low &&
         CompareStringOrdinal(ia.name.c_str(), -1, ib.name.c_str(), -1, TRUE) == CSTR_EQUAL;
}

void setbinarystdio(bool binary) {
  const int mode = binary ? _O_BINARY : _O_TEXT;
  fflush(stdout);
  _setmode(_fileno(stdin), mode);
  _setmode(_fileno(stdout), mode);
}
