/* Proc-file transfers, paths below the root, shell commands and byte order. */
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "usb_storage.h"

enum { ROOTED_PATH_SIZE = 4096, SHELL_COMMAND_SIZE = 4096 + 256 };

static const char* AgentRoot(void) {
  const char* root = getenv("USB_AGENT_ROOT");
  return root ? root : "";
}

const char* RootedPath(const char* absolute) {
  static char rooted[ROOTED_PATH_SIZE];
  int n = snprintf(rooted, sizeof rooted, "%s%s", AgentRoot(), absolute);
  if (n < 0 || (unsigned long)n >= sizeof rooted) return 0;
  return rooted;
}

long ProcRead(const char* absolute, void* buf, unsigned long size) {
  const char* path = RootedPath(absolute);
  int fd = path ? open(path, O_RDONLY) : -1;
  if (fd < 0) return -1;
  unsigned char* p = (unsigned char*)buf;
  unsigned long done = 0;
  while (done < size) {
    ssize_t n = read(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += (unsigned long)n;
  }
  close(fd);
  return (long)done;
}

int ProcReadRecord(const char* absolute, void* buf, unsigned long size) {
  long n = ProcRead(absolute, buf, size);
  if (n < 0) return -1;
  return n == (long)size ? 0 : -2;
}

int ProcWrite(const char* absolute, const void* buf, unsigned long size) {
  const char* path = RootedPath(absolute);
  /* Regular files stand in for the proc files in tests: truncate, so a
   * shorter record never leaves the tail of a longer one behind. */
  int fd = path ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666) : -1;
  if (fd < 0) return -1;
  long n = WriteAll(fd, buf, size);
  close(fd);
  return n == (long)size ? 0 : -1;
}

int ProcWriteInt(const char* absolute, int32_t value) {
  return ProcWrite(absolute, &value, sizeof value);
}

long ReadAt(int fd, int64_t position, void* buf, unsigned long size) {
  if (position < 0) return -1;
  unsigned char* p = (unsigned char*)buf;
  unsigned long done = 0;
  while (done < size) {
    ssize_t n = pread(fd, p + done, size - done, (off_t)(position + (int64_t)done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += (unsigned long)n;
  }
  return (long)done;
}

long WriteAll(int fd, const void* buf, unsigned long size) {
  const unsigned char* p = (const unsigned char*)buf;
  unsigned long done = 0;
  while (done < size) {
    ssize_t n = write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += (unsigned long)n;
  }
  return (long)done;
}

int IsPlainPath(const char* text) {
  if (!text || !*text) return 0;
  for (const char* c = text; *c; ++c) {
    int ok = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') ||
             *c == '/' || *c == '_' || *c == '-' || *c == '.';
    if (!ok) return 0;
  }
  return 1;
}

int IsNameInsideFolder(const char* name) {
  if (!name || !*name || name[0] == '/') return 0;
  const char* component = name;
  for (;;) {
    const char* end = strchr(component, '/');
    size_t length = end ? (size_t)(end - component) : strlen(component);
    if (length == 2 && component[0] == '.' && component[1] == '.') return 0;
    if (!end) return 1;
    component = end + 1;
  }
}

int BuildFilePath(const char* folder, const char* name) {
  int n = snprintf(File_Path, FILE_PATH_SIZE, "%s%s", folder, name);
  if (n < 0 || n >= FILE_PATH_SIZE) {
    memset(File_Path, 0, FILE_PATH_SIZE);
    return -1;
  }
  return 0;
}

int OpenMnt(void) {
  const char* path = RootedPath("/mnt");
  return path ? open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
}

static int IsDotName(const char* name) {
  return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

int OpenStickParent(const char* absolute, char last[FILE_PATH_SIZE]) {
  static const char kPrefix[] = "/mnt/";
  if (strncmp(absolute, kPrefix, sizeof kPrefix - 1) != 0) return -1;
  const char* rest = absolute + sizeof kPrefix - 1;
  int dir = OpenMnt();
  if (dir < 0) return -1;
  for (;;) {
    const char* slash = strchr(rest, '/');
    size_t length = slash ? (size_t)(slash - rest) : strlen(rest);
    if (length >= FILE_PATH_SIZE) break;
    memcpy(last, rest, length);
    last[length] = '\0';
    if (!slash) {
      if (length > 0 && !IsDotName(last)) return dir;
      break;
    }
    rest = slash + 1;
    if (length == 0 || strcmp(last, ".") == 0) continue; /* the same folder */
    if (strcmp(last, "..") == 0) break;
    /* O_NOFOLLOW refuses a link; O_DIRECTORY refuses anything but a folder
     * before it is opened, so a FIFO never blocks here. */
    int next = openat(dir, last, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    close(dir);
    if (next < 0) return -1;
    dir = next;
  }
  close(dir);
  return -1;
}

int OpenStickFile(const char* absolute, int flags) {
  char last[FILE_PATH_SIZE];
  int dir = OpenStickParent(absolute, last);
  if (dir < 0) return -1;
  struct stat st;
  int fd = -1;
  /* Whatever is there already must be a regular file; nothing is opened
   * otherwise (opening a device node alone can act on the device). */
  int exists = fstatat(dir, last, &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (!exists || S_ISREG(st.st_mode)) {
    /* O_NONBLOCK: should the entry turn into a FIFO in between, the open
     * still returns at once; it changes nothing for a regular file. */
    fd = openat(dir, last, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
      close(fd);
      fd = -1;
    }
  }
  close(dir);
  return fd;
}

int RemoveStickFile(const char* absolute) {
  char last[FILE_PATH_SIZE];
  int dir = OpenStickParent(absolute, last);
  if (dir < 0) return -1;
  struct stat st;
  int result = -1;
  if (fstatat(dir, last, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
    result = unlinkat(dir, last, 0);
  close(dir);
  return result;
}

int OpenStickFolder(const char* absolute) {
  if (strcmp(absolute, "/mnt") == 0 || strcmp(absolute, "/mnt/") == 0) return OpenMnt();
  /* The listing's folders end in "/": the folder is the component before. */
  char folder_path[FILE_PATH_SIZE];
  size_t length = strlen(absolute);
  if (length >= FILE_PATH_SIZE) return -1;
  memcpy(folder_path, absolute, length + 1);
  while (length > 0 && folder_path[length - 1] == '/') folder_path[--length] = '\0';
  char last[FILE_PATH_SIZE];
  int dir = OpenStickParent(folder_path, last);
  if (dir < 0) return -1;
  int folder = openat(dir, last, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  close(dir);
  return folder;
}

const char* MntForShell(void) {
  static char mnt[ROOTED_PATH_SIZE];
  const char* root = AgentRoot();
  if (*root && !IsPlainPath(root)) return 0;
  int n = snprintf(mnt, sizeof mnt, "%s/mnt", root);
  if (n < 0 || (unsigned long)n >= sizeof mnt) return 0;
  return mnt;
}

int RunShell(const char* format, ...) {
  static char command[SHELL_COMMAND_SIZE];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(command, sizeof command, format, args);
  va_end(args);
  if (n < 0 || (unsigned long)n >= sizeof command) return -1;
  int status = system(command);
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

void PausePass(void) {
  unsigned long pause_us = 150000;
  const char* text = getenv("USB_AGENT_PAUSE_US");
  if (text && *text) pause_us = strtoul(text, 0, 10);
  /* usleep may refuse a second or more: sleep in half-second steps. */
  while (pause_us >= 500000) {
    usleep(500000);
    pause_us -= 500000;
  }
  if (pause_us > 0) usleep((useconds_t)pause_us);
}

uint32_t GetBe32(const unsigned char* p) {
  return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

void PutBe32(unsigned char* p, uint32_t value) {
  p[0] = (unsigned char)(value >> 24);
  p[1] = (unsigned char)(value >> 16);
  p[2] = (unsigned char)(value >> 8);
  p[3] = (unsigned char)value;
}
