/* usb_storage: the recorder-side USB stick agent.
 *
 * The recorder's video driver posts a command code in /proc/dvr/usb_storage_com
 * and starts this program without arguments; the agent carries out that one
 * command (single-shot run) or, when the first code is 11, keeps polling for
 * codes (resident run). Requests, data and answers travel as fixed records
 * through the files under /proc/dvr/; the stick is worked on through the shell
 * tools umount, mount, mkdosfs, df and sync.
 *
 * USB_AGENT_ROOT (unset on the recorder) prefixes every absolute path the
 * agent uses, so tests run it on an ordinary folder. USB_AGENT_PAUSE_US
 * (unset on the recorder) replaces the 150,000 us idle pause.
 *
 * Plain C and the C library only: no allocation, every buffer below is a
 * fixed static area. Proc records are little-endian (the recorder's order);
 * everything read from or written into movie files is big-endian. */
#ifndef TEVRANO_AGENT_USB_STORAGE_H
#define TEVRANO_AGENT_USB_STORAGE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One listed file: name without folder, and its length in bytes (files of
 * 2 GiB and more are listed as INT32_MAX so the field never turns negative). */
typedef struct UsbFileEntry {
  char name[64];
  int32_t size;
} UsbFileEntry; /* 68 bytes */

enum {
  USB_ROM_SLOTS = 1,
  USB_MOVIE_SLOTS = 16,
  USB_PICTURE_SLOTS = 32,
};

/* The listing answer, written whole to /proc/dvr/usb_storage_inf. */
typedef struct USB_DI {
  int32_t total_kib;                       /* 0: file system size, 1 KiB blocks */
  int32_t used_kib;                        /* 4: used space, 1 KiB blocks */
  int32_t rom_count;                       /* 8 */
  int32_t movie_count;                     /* 12 */
  int32_t picture_count;                   /* 16 */
  UsbFileEntry rom[USB_ROM_SLOTS];         /* 20 */
  UsbFileEntry movie[USB_MOVIE_SLOTS];     /* 88 */
  UsbFileEntry picture[USB_PICTURE_SLOTS]; /* 1,176 */
} USB_DI;                                  /* 3,352 bytes */

/* Request of write (command 5) and write test (command 10). */
typedef struct UsbWriteRequest {
  int32_t unused;   /* 0 */
  int32_t sectors;  /* 4: 512-byte sectors in this chunk (test: whole test size) */
  int32_t mode;     /* 8: 2 rewrites the start of an existing file, else append */
  int32_t create;   /* 12: 1 removes an existing file first */
  int32_t no_index; /* 16: 0 = movie whose index the mode-2 chunk closes off */
  char name[64];    /* 20: path below /mnt */
} UsbWriteRequest;  /* 84 bytes */

/* Request of read (command 6). */
typedef struct UsbReadRequest {
  int32_t op;       /* 0: > 0 index (2: first entry only), <= 0 byte range */
  int32_t format_a; /* 4: required first format byte of the movie header */
  int32_t format_b; /* 8: required second format byte */
  int32_t offset;   /* 12: range start */
  int32_t length;   /* 16: range length */
  int32_t in_root;  /* 20: nonzero: name below /mnt, else below /mnt/Movie */
  char name[64];    /* 24 */
} UsbReadRequest;   /* 88 bytes */

/* The index answer of a read, written to /proc/dvr/usb_storage_inf. */
typedef struct QTI {
  int32_t creation_time;     /* movie header, native order */
  int32_t modification_time; /* movie header, native order */
  int32_t stsz_position;     /* file position of the sample-size atom */
  int32_t stco_position;     /* file position of the chunk-offset atom */
  int32_t count;             /* entries sent in each table */
} QTI;                       /* 20 bytes */

/* Marks around the write test, written to /proc/dvr/usb_storage_test. */
typedef struct UsbTestMark {
  int32_t flag;     /* 1 = test starts, 0 = test ends */
  int32_t size_kib; /* size of the test */
} UsbTestMark;      /* 8 bytes */

enum {
  FILE_PATH_SIZE = 69, /* a path of at most 68 characters */
  FILE_NAME_SIZE = 64,
  QT_BUF_SIZE = 270336,      /* 264 KiB */
  QT_PIECE = 262144,         /* read and write-test piece, 256 KiB */
  WRITE_MAX_SECTORS = 527,   /* largest chunk that fits QT_Buf */
  INDEX_MAX_ENTRIES = 65535, /* largest index table sent */
  DEVICE_PATH_SIZE = 64,
};

/* Completion statuses written to /proc/dvr/usb_storage. */
enum {
  STATUS_MOVIE_CLOSED = 0, /* mode-2 write done; also write test done */
  STATUS_OPEN_FAILED = 1,  /* write, write test: target can't be opened or name refused */
  STATUS_APPENDED = 2,     /* write: appended chunk done */
  STATUS_READ_FAILED = 3,  /* read: file can't be opened or request refused */
  STATUS_READ_DONE = 4,    /* read finished (also when the index checks failed) */
  STATUS_BAD_CHUNK = 5,    /* write, write test: sector count refused; chunk data missing */
  STATUS_WRITE_FAILED = 6, /* write, write test: writing to the stick failed */
};

extern USB_DI Usb_DI;
extern QTI Usb_QTI;
extern char File_Path[FILE_PATH_SIZE];
extern char File_Name[FILE_NAME_SIZE];
extern unsigned char QT_Buf[QT_BUF_SIZE];

/* Command handlers; their results are not read by anyone. */
void usb_storage_mount(void);
void usb_storage_remount(void);
void usb_storage_ls(void);
void usb_storage_del(void);
void usb_storage_format(int blocks);
void usb_storage_write(void);
void usb_storage_read(void);
void usb_storage_write_test(void);

/* 0 for a well-formed recording name ("chNN_YYYYMMDD_HHMMSS..."), otherwise
 * the sign of the name's first two characters against "ch", or -1 for an
 * underscore out of place. */
int Check_FileName(const char* name);
/* 0 when the three characters after the last dot (within the first 61) equal
 * the kind's extension: 0 "rom", 1 "mov", 2 "jpg"; case-sensitive. */
int Check_FileType(const char* name, int kind);
/* Every decimal digit of the text in order, all else skipped ("-12,3" is 123);
 * saturates at INT32_MAX. */
int Str2Int(const char* text);
/* Str2Int of the first number that begins within text[index, index + n). */
int StrN2Int(const char* text, int index, int n);

/* --- Shared helpers (usb_storage_proc.c) --- */

/* The path as the agent uses it: USB_AGENT_ROOT + absolute path. Returns a
 * static buffer (valid until the next call) or 0 when it does not fit. */
const char* RootedPath(const char* absolute);
/* Opens, moves one record (looping over partial transfers like fread), closes.
 * ProcRead returns the bytes read or -1 when the file can't be opened;
 * ProcWrite returns 0 or -1. */
long ProcRead(const char* absolute, void* buf, unsigned long size);
/* Reads a whole request record: 0 when all size bytes arrived, -1 when the
 * file can't be opened, -2 when the record is shorter than its size (a record
 * cut short is refused, never padded with zeros and used). */
int ProcReadRecord(const char* absolute, void* buf, unsigned long size);
int ProcWrite(const char* absolute, const void* buf, unsigned long size);
int ProcWriteInt(const char* absolute, int32_t value);
/* Reads or writes all of size bytes at the file position; returns the bytes
 * moved (less at end of file or on error). */
long ReadAt(int fd, int64_t position, void* buf, unsigned long size);
long WriteAll(int fd, const void* buf, unsigned long size);

/* Nonzero when text is a non-empty path of letters, digits and "/_-.". */
int IsPlainPath(const char* text);
/* Nonzero when a request name stays below its folder: not empty, not
 * absolute, no ".." component. */
int IsNameInsideFolder(const char* name);
/* Builds folder + name in File_Path; -1 (File_Path empty) when it exceeds the
 * 68 characters. */
int BuildFilePath(const char* folder, const char* name);
/* --- The stick (usb_storage_proc.c) ---
 *
 * A stick can carry any file system, so it can carry symbolic links, FIFOs
 * and device nodes. Every path below "/mnt" is walked from a handle on the
 * mount folder one component at a time without following links, and only
 * regular files are opened, listed or removed. The paths are the absolute
 * "/mnt/..." texts of File_Path. */

/* A handle on the mount folder, or -1. */
int OpenMnt(void);
/* A handle on the folder that holds the last component of absolute (which
 * begins "/mnt/"), with that component copied into last; -1 when a folder on
 * the way is missing, is not a folder or is a link, or the last component is
 * empty, "." or "..". */
int OpenStickParent(const char* absolute, char last[FILE_PATH_SIZE]);
/* Opens a regular file (flags as for open; O_CREAT creates it with mode
 * 0666). Links, FIFOs, device nodes and folders are refused without blocking:
 * -1. */
int OpenStickFile(const char* absolute, int flags);
/* Removes a regular file; anything else is left alone. 0 when removed. */
int RemoveStickFile(const char* absolute);
/* A handle on a folder of the stick ("/mnt" itself, "/mnt/Movie", ...)
 * that is a real folder, not a link; -1 otherwise. */
int OpenStickFolder(const char* absolute);

/* The rooted "/mnt" as it is handed to the shell tools, or 0 when
 * USB_AGENT_ROOT is not a plain path (nothing then reaches the shell). */
const char* MntForShell(void);
/* Formats a command and runs it through the shell; returns the tool's exit
 * status (0 = success), or -1 when it did not fit or could not run. */
int RunShell(const char* format, ...) __attribute__((format(printf, 1, 2)));
/* Sleeps the idle pause (150,000 us unless USB_AGENT_PAUSE_US says otherwise). */
void PausePass(void);

/* Reads the big-endian 32-bit value at p / writes value there. */
uint32_t GetBe32(const unsigned char* p);
void PutBe32(unsigned char* p, uint32_t value);

/* Total and used 1 KiB blocks from df's output: the header line, then the
 * device name and the numbers (a long device name may stand on a line of its
 * own). Both 0 when the output holds no such line. */
void ParseDfOutput(const char* text, int32_t* total_kib, int32_t* used_kib);

#ifdef __cplusplus
}
#endif

#endif
