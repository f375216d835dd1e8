/* Commands that work on the stick as a whole: mount, format, listing, delete;
 * and the name and number rules of the listing. */
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "usb_storage.h"

static const char kProcMount[] = "/proc/dvr/usb_storage_mount";
static const char kProcInf[] = "/proc/dvr/usb_storage_inf";

enum {
  NAME_SCAN = 61,       /* characters of a name that the rules look at */
  DF_OUTPUT_SIZE = 1024 /* df's header and data lines, long device names included */
};

/* Reads the device path of the stick's partition; at most 63 characters. A
 * record cut short before its terminator is no device path (empty). */
static void ReadDevicePath(char device[DEVICE_PATH_SIZE]) {
  memset(device, 0, DEVICE_PATH_SIZE);
  long n = ProcRead(kProcMount, device, DEVICE_PATH_SIZE);
  if (n > 0 && n < DEVICE_PATH_SIZE && !memchr(device, '\0', (size_t)n))
    memset(device, 0, DEVICE_PATH_SIZE);
  device[DEVICE_PATH_SIZE - 1] = '\0';
}

/* The device path reaches the shell only as a plain path; an empty one would
 * make mount take the system table's entry for /mnt, and one that begins with
 * "-" would be taken as an option by mount and mkdosfs. */
static int IsUsableDevice(const char* device) {
  return IsPlainPath(device) && device[0] != '-';
}

void usb_storage_remount(void) {
  char device[DEVICE_PATH_SIZE];
  ReadDevicePath(device);
  const char* mnt = MntForShell();
  if (!mnt || !IsUsableDevice(device)) return;
  RunShell("umount %s", mnt); /* fails when nothing is mounted: fine */
  RunShell("mount %s %s", device, mnt);
}

void usb_storage_mount(void) {
  usb_storage_remount();
  ProcWriteInt(kProcMount, 0);
}

/* Undoes the mount table's octal escapes ("\040" for a space) in place. */
static void UnescapeMountField(char* field) {
  char* out = field;
  for (const char* in = field; *in; ++out) {
    if (in[0] == '\\' && in[1] >= '0' && in[1] <= '3' && in[2] >= '0' && in[2] <= '7' &&
        in[3] >= '0' && in[3] <= '7') {
      *out = (char)((in[1] - '0') * 64 + (in[2] - '0') * 8 + (in[3] - '0'));
      in += 4;
    } else {
      *out = *in++;
    }
  }
  *out = '\0';
}

/* Nonzero when the mount table lists mount_point (as given or resolved). */
static int MountTableLists(const char* mount_point) {
  const char* table_path = RootedPath("/proc/mounts");
  FILE* table = table_path ? fopen(table_path, "r") : 0;
  if (!table) return 0;
  static char resolved[PATH_MAX];
  int has_resolved = realpath(mount_point, resolved) != 0;
  static char line[PATH_MAX + 256];
  int listed = 0;
  while (!listed && fgets(line, sizeof line, table)) {
    size_t length = strlen(line);
    if (length > 0 && line[length - 1] != '\n' && !feof(table)) {
      /* Longer than any path: the rest of the line is passed over. */
      int c;
      while ((c = fgetc(table)) != EOF && c != '\n') {
      }
      continue;
    }
    char* device_end = strchr(line, ' ');
    if (!device_end) continue;
    char* folder = device_end + 1;
    char* folder_end = strpbrk(folder, " \n");
    if (folder_end) *folder_end = '\0';
    UnescapeMountField(folder);
    listed = strcmp(folder, mount_point) == 0 || (has_resolved && strcmp(folder, resolved) == 0);
  }
  fclose(table);
  return listed;
}

/* Nonzero while something is still mounted on the stick's folder: the mount
 * table lists it, or it lies on another device than its parent folder. */
static int IsStillMounted(const char* mnt) {
  if (MountTableLists(mnt)) return 1;
  char parent[PATH_MAX];
  struct stat folder_st, parent_st;
  if (snprintf(parent, sizeof parent, "%s/..", mnt) >= (int)sizeof parent) return 1;
  if (stat(mnt, &folder_st) != 0 || stat(parent, &parent_st) != 0) return 0;
  return folder_st.st_dev != parent_st.st_dev;
}

void usb_storage_format(int blocks) {
  char device[DEVICE_PATH_SIZE];
  ReadDevicePath(device);
  const char* mnt = MntForShell();
  if (mnt && IsUsableDevice(device) && blocks > 0) {
    /* umount also fails when nothing is mounted, as on a new or unreadable
     * stick that is to be formatted: only a stick that is still mounted
     * afterwards is left alone, never formatted underneath. */
    RunShell("umount %s", mnt);
    if (!IsStillMounted(mnt)) {
      RunShell("mkdosfs -S 512 -F 32 %s %d", device, blocks);
      RunShell("mount %s %s", device, mnt);
      int stick = OpenMnt(); /* opened after the mount: the new file system */
      if (stick >= 0) {
        mkdirat(stick, "Movie", 0777);
        mkdirat(stick, "Picture", 0777);
        close(stick);
      }
      usb_storage_remount();
    }
  }
  ProcWriteInt(kProcMount, 0);
}

void usb_storage_del(void) {
  memset(File_Name, 0, FILE_NAME_SIZE);
  if (ProcReadRecord(kProcInf, File_Name, FILE_NAME_SIZE) != 0) {
    memset(File_Name, 0, FILE_NAME_SIZE);
    return;
  }
  File_Name[FILE_NAME_SIZE - 1] = '\0';
  /* Only a plain file name inside the movie folder can be removed. */
  if (!File_Name[0] || strchr(File_Name, '/') || strcmp(File_Name, ".") == 0 ||
      strcmp(File_Name, "..") == 0)
    return;
  if (BuildFilePath("/mnt/Movie/", File_Name) != 0) return;
  RemoveStickFile(File_Path); /* a regular file only; links and the like stay */
}

int Check_FileName(const char* name) {
  int order = strncmp(name, "ch", 2);
  if (order != 0) return order;
  static const int kUnderscoreAt[3] = {4, 13, 20};
  int seen = 0;
  for (int i = 0; i < NAME_SCAN && name[i]; ++i) {
    if (name[i] != '_') continue;
    if (seen == 3 || i != kUnderscoreAt[seen]) return -1;
    ++seen;
  }
  return 0;
}

int Check_FileType(const char* name, int kind) {
  static const char* const kExtension[3] = {"rom", "mov", "jpg"};
  if (kind < 0 || kind > 2) return -1;
  char extension[4] = {0};
  for (int i = 0; i < NAME_SCAN && name[i]; ++i) {
    if (name[i] != '.') continue;
    memset(extension, 0, sizeof extension);
    for (int k = 0; k < 3 && name[i + 1 + k]; ++k) extension[k] = name[i + 1 + k];
  }
  return strcmp(extension, kExtension[kind]);
}

/* Digits of text[0, length) in order, all else skipped; saturates. */
static int DigitsToInt(const char* text, size_t length) {
  long long value = 0;
  for (size_t i = 0; i < length && text[i]; ++i) {
    if (text[i] < '0' || text[i] > '9') continue;
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return (int)value;
}

int Str2Int(const char* text) {
  return DigitsToInt(text, (size_t)-1);
}

int StrN2Int(const char* text, int index, int n) {
  if (index < 0 || n <= 0 || (size_t)index > strlen(text)) return 0;
  const char* start = text + index;
  int length = 0;
  int seen_number = 0;
  while (length < n && start[length]) {
    if (start[length] == ' ' && seen_number) break;
    if (start[length] != ' ') seen_number = 1;
    ++length;
  }
  return DigitsToInt(start, (size_t)length);
}

static int IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

/* Copies the next whitespace-separated field into out (cut to its size);
 * returns the position after it, or 0 when no field is left. */
static const char* NextField(const char* at, char* out, size_t size) {
  while (*at && IsSpace(*at)) ++at;
  if (!*at) return 0;
  size_t n = 0;
  for (; *at && !IsSpace(*at); ++at)
    if (n + 1 < size) out[n++] = *at;
  out[n] = '\0';
  return at;
}

void ParseDfOutput(const char* text, int32_t* total_kib, int32_t* used_kib) {
  *total_kib = 0;
  *used_kib = 0;
  const char* data = strchr(text, '\n');
  if (!data) return;
  char device[64], total[32], used[32];
  data = NextField(data, device, sizeof device);
  if (data) data = NextField(data, total, sizeof total);
  if (data) data = NextField(data, used, sizeof used);
  if (!data) return;
  *total_kib = Str2Int(total);
  *used_kib = Str2Int(used);
}

/* Runs df on the stick; -1 when its pipe can't be opened. */
static int MeasureStick(int32_t* total_kib, int32_t* used_kib) {
  static char output[DF_OUTPUT_SIZE];
  const char* mnt = MntForShell();
  char command[DF_OUTPUT_SIZE];
  if (!mnt || snprintf(command, sizeof command, "df %s", mnt) >= (int)sizeof command) return -1;
  FILE* pipe = popen(command, "r");
  if (!pipe) return -1;
  size_t length = fread(output, 1, sizeof output - 1, pipe);
  output[length] = '\0';
  while (fgetc(pipe) != EOF) {
  } /* let df finish writing */
  pclose(pipe);
  ParseDfOutput(output, total_kib, used_kib);
  return 0;
}

/* A real folder of the stick: a link to a folder does not count. */
static int IsStickFolder(const char* absolute) {
  int folder = OpenStickFolder(absolute);
  if (folder < 0) return 0;
  close(folder);
  return 1;
}

typedef struct Listing {
  const char* folder; /* with the trailing "/" */
  int kind;           /* Check_FileType kind */
  int name_rule;      /* 0 none, 1 movies (skip > 0), 2 pictures (skip != 0) */
  int must_have_data; /* skip files of length 0 */
  UsbFileEntry* table;
  int slots;
  int32_t* count;
} Listing;

static int PassesNameRules(const Listing* listing, const char* name) {
  if (strlen(name) >= sizeof listing->table->name) return 0;
  if (Check_FileType(name, listing->kind) != 0) return 0;
  if (listing->name_rule == 1 && Check_FileName(name) > 0) return 0;
  if (listing->name_rule == 2 && Check_FileName(name) != 0) return 0;
  return 1;
}

/* Fills one table in directory order with regular files only (a link, FIFO
 * or device node is not listed: its size would be another file's or none);
 * stops when the table is full. */
static void ListFolder(const Listing* listing) {
  int folder = OpenStickFolder(listing->folder);
  DIR* dir = folder >= 0 ? fdopendir(folder) : 0;
  if (!dir) {
    if (folder >= 0) close(folder);
    return;
  }
  struct dirent* entry;
  while (*listing->count < listing->slots && (entry = readdir(dir)) != 0) {
    if (!PassesNameRules(listing, entry->d_name)) continue;
    if (BuildFilePath(listing->folder, entry->d_name) != 0) continue;
    struct stat st;
    if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
      continue;
    if (listing->must_have_data && st.st_size <= 0) continue;
    UsbFileEntry* slot = &listing->table[*listing->count];
    memset(slot, 0, sizeof *slot);
    strcpy(slot->name, entry->d_name); /* length checked by PassesNameRules */
    slot->size = st.st_size > INT32_MAX ? INT32_MAX : (int32_t)st.st_size;
    ++*listing->count;
  }
  closedir(dir);
}

void usb_storage_ls(void) {
  /* The counts describe the tables, so they are cleared with them; the sizes
   * keep the previous listing's figures until df gives new ones. */
  Usb_DI.rom_count = Usb_DI.movie_count = Usb_DI.picture_count = 0;
  memset(Usb_DI.rom, 0, sizeof Usb_DI - offsetof(USB_DI, rom));

  int32_t total_kib, used_kib;
  if (IsStickFolder("/mnt/Movie") && IsStickFolder("/mnt/Picture") &&
      MeasureStick(&total_kib, &used_kib) == 0) {
    Usb_DI.total_kib = total_kib;
    Usb_DI.used_kib = used_kib;
    if (total_kib != 0) {
      const Listing listings[3] = {
          {"/mnt/", 0, 0, 0, Usb_DI.rom, USB_ROM_SLOTS, &Usb_DI.rom_count},
          {"/mnt/Movie/", 1, 1, 1, Usb_DI.movie, USB_MOVIE_SLOTS, &Usb_DI.movie_count},
          {"/mnt/Picture/", 2, 2, 1, Usb_DI.picture, USB_PICTURE_SLOTS, &Usb_DI.picture_count},
      };
      for (int i = 0; i < 3; ++i) ListFolder(&listings[i]);
    }
  }
  ProcWrite(kProcInf, &Usb_DI, sizeof Usb_DI);
}
