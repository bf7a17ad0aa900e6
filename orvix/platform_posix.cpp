// The operating-system part of the assembler on POSIX.1-2008 systems.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "libcontainer/libcontainer.h"
#include "orvix/platform.h"

namespace {

// Writes `text` into the open stream `fp` and closes it; true when every
// write and the close succeeded, else errno says why. With `sync` the bytes
// are stored on disk before the close.
bool finishfile(FILE* fp, const std::string& text, bool sync) {
  errno = 0;
  fwrite(text.data(), 1, text.size(), fp);
  // The error number of the failure just seen; a failed write left its own
  // in errno.
  const auto failure = [] { return errno != 0 ? errno : EIO; };
  int err = ferror(fp) ? failure() : 0;
  if (err == 0 && fflush(fp) != 0) err = failure();
  // A rename must not make a file visible whose bytes are not yet stored.
  if (err == 0 && sync && fsync(fileno(fp)) != 0 && errno != EINVAL) err = failure();
  if (fclose(fp) != 0 && err == 0) err = failure();
  errno = err;
  return err == 0;
}

// The directory part of `path`, with its final '/'; "" for a bare name.
String directoryof(const String& path) {
  const char* slash = strrchr(path.cStr(), '/');
  return slash == nullptr ? String() : path.subStr(0, static_cast<int>(slash - path.cStr()) + 1);
}

// The file that `path` names once every symbolic link along the last
// component is followed (it may not exist yet). False on a link loop.
bool followlinks(const char* path, String& target) {
  target = path;
  for (int hops = 0; hops < 40; hops++) {
    struct stat st;
    if (lstat(target.cStr(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    char link[4096];
    ssize_t n = readlink(target.cStr(), link, sizeof link - 1);
    if (n < 0) return false;
    link[n] = '\0';
    if (link[0] == '/') {
      target = link;
    } else {
      // A relative link is read from the directory holding it.
      target = directoryof(target) + String(link);
    }
  }
  errno = ELOOP;
  return false;
}

}  // namespace

char** startprocess(int, char** argv) { return argv; }

FILE* openfile(const char* path, const char* mode) { return fopen(path, mode); }

const bool kTextEndsAtCtrlZ = false;

void printtext(FILE* stream, const std::string& text) {
  fwrite(text.data(), 1, text.size(), stream);
}

void setbinarystdio(bool) {}

bool replacefile(const char* path, const std::string& text) {
  // An empty path names no file: no temporary file is made for it.
  if (path[0] == '\0') {
    errno = ENOENT;
    return false;
  }
  String target;
  if (!followlinks(path, target)) return false;
  struct stat st;
  // What the path itself reaches: /dev/stdout on a pipe leads, link by link,
  // to a name ("pipe:[...]") that is no path.
  const bool exists = stat(path, &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    FILE* fp = fopen(path, "w");
    return fp != nullptr && finishfile(fp, text, false);
  }

  mode_t mode;
  if (exists) {
    // Refuse a file the user may not write, as opening it would.
    int fd = open(target.cStr(), O_WRONLY);
    if (fd < 0) return false;
    close(fd);
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }

  String temp = directoryof(target) + String(".orvix-XXXXXX");
  int fd = mkstemp(temp.getBuffer());
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0;
  if (ok && exists && (st.st_uid != geteuid() || st.st_gid != getegid())) {
    // Keep the owner of a file replaced for another user. Where that is not
    // allowed the file becomes the writer's, as a new file would: no failure.
    int kept_owner = fchown(fd, st.st_uid, st.st_gid);
    (void)kept_owner;
  }
  FILE* fp = ok ? fdopen(fd, "w") : nullptr;
  if (fp == nullptr) {
    close(fd);
    ok = false;
  } else {
    ok = finishfile(fp, text, true);
  }
  if (ok && rename(temp.cStr(), target.cStr()) != 0) ok = false;
  if (!ok) {
    const int err = errno;
    unlink(temp.cStr());
    errno = err;
  }
  return ok;
}

namespace {

// What names a file: the file itself when it exists, else its directory
// and its name there.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;  // when it does not exist
};

// The identity of the file `path` names; false when it names none (its
// directory does not exist, or it ends in a separator).
bool identify(const char* path, FileIdentity& id) {
  struct stat st;
  String target;
  if (stat(path, &st) == 0) {
    id.exists = true;
  } else if (followlinks(path, target)) {
    const String dir = directoryof(target);
    id.name = target.cStr() + dir.length();
    if (id.name.empty() || stat(dir.length() > 0 ? dir.cStr() : ".", &st) != 0) return false;
  } else {
    return false;
  }
  id.device = st.st_dev;
  id.inode = st.st_ino;
  return true;
}

}  // namespace

bool samefile(const char* a, const char* b) {
  FileIdentity ia, ib;
  return identify(a, ia) && identify(b, ib) && ia.exists == ib.exists && ia.device == ib.device &&
         ia.inode == ib.inode && ia.name == ib.name;
}
