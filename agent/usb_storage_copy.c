/* Commands that move file data: write (with the movie index fix-up), read
 * (byte range or movie index) and the write-speed test.
 *
 * The movies handled here start with 40 bytes of lead-in atoms, then the
 * media data atom ("mdat", its size at 40), then the movie atom ("moov") with
 * its 108-byte header ("mvhd": creation time at +20, modification time at +24,
 * the letters "vorn" at +42 and two signed format bytes at +46, +47) and the
 * track atoms from +116 on. */
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "usb_storage.h"

static const char kProcInf[] = "/proc/dvr/usb_storage_inf";
static const char kProcData[] = "/proc/dvr/usb_storage_data";
static const char kProcStatus[] = "/proc/dvr/usb_storage";
static const char kProcTest[] = "/proc/dvr/usb_storage_test";
static const char kProcStsz[] = "/proc/dvr/usb_storage_stsz";
static const char kProcStco[] = "/proc/dvr/usb_storage_stco";

enum {
  FILE_HEAD = 48,    /* lead-in atoms and the media data atom's header */
  MOVIE_HEAD = 576,  /* bytes read at the movie atom */
  MOVIE_FIELDS = 48, /* of those, the ones looked at */
  FIRST_TRACK = 116, /* track atoms start here within the movie atom */
  MAX_TRACKS = 3,
  STSS_WINDOW = 2048, /* searched for the sync-sample atom after MOVIE_HEAD */
  ATOM_HEADER = 8,
  STSZ_HEAD = 20, /* size, type, version/flags, sample size, entry count */
  STCO_HEAD = 16, /* size, type, version/flags, entry count */
};

/* A request's 64-byte name field: terminated, and staying below its folder. A
 * field without a terminator holds a name too long for File_Path. */
static int IsRequestName(const char name[64]) {
  return memchr(name, '\0', 64) != 0 && IsNameInsideFolder(name);
}

static int IsTag(const unsigned char* p, const char* tag) {
  return memcmp(p, tag, 4) == 0;
}

static int64_t FileSize(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? (int64_t)st.st_size : -1;
}

/* Reads the movie atom's first bytes; returns its file position or -1 when
 * the file does not carry the "mdat" / "moov" / "vorn" layout. */
static int64_t FindMovieAtom(int fd, unsigned char* movie_head) {
  unsigned char head[FILE_HEAD];
  if (ReadAt(fd, 0, head, FILE_HEAD) != FILE_HEAD || !IsTag(head + 44, "mdat")) return -1;
  int64_t movie = 40 + (int64_t)GetBe32(head + 40);
  memset(movie_head, 0, MOVIE_HEAD);
  if (ReadAt(fd, movie, movie_head, MOVIE_HEAD) < MOVIE_FIELDS) return -1;
  if (!IsTag(movie_head + 4, "moov") || !IsTag(movie_head + 42, "vorn")) return -1;
  return movie;
}

/* Reads an atom header at position; its size, or 0 when it can't be read, is
 * smaller than a header or runs past the end of the file. */
static int64_t AtomSizeAt(int fd, int64_t position, int64_t file_size, unsigned char* header) {
  if (ReadAt(fd, position, header, ATOM_HEADER) != ATOM_HEADER) return 0;
  int64_t size = GetBe32(header);
  if (size < ATOM_HEADER || position + size > file_size) return 0;
  return size;
}

/* Makes the movie atom end right after its (at most three) track atoms,
 * whatever the driver wrote there in the last, padded sector. */
static void CloseMovieIndex(const char* path) {
  memset(QT_Buf, 0, MOVIE_HEAD);
  int fd = OpenStickFile(path, O_RDWR);
  if (fd < 0) return;
  int64_t file_size = FileSize(fd);
  int64_t movie = FindMovieAtom(fd, QT_Buf);
  if (movie >= 0) {
    uint32_t movie_size = GetBe32(QT_Buf);
    int64_t tracks = 0;
    int64_t track = movie + FIRST_TRACK;
    for (int i = 0; i < MAX_TRACKS; ++i) {
      unsigned char header[ATOM_HEADER];
      int64_t size = AtomSizeAt(fd, track, file_size, header);
      if (size == 0 || !IsTag(header + 4, "trak")) break;
      tracks += size;
      track += size;
    }
    int64_t new_size = FIRST_TRACK + tracks;
    if (tracks > 0 && new_size != movie_size) {
      unsigned char field[4];
      PutBe32(field, (uint32_t)new_size);
      if (pwrite(fd, field, 4, (off_t)movie) != 4) {
        /* The file keeps its old size; nothing more can be done here. */
      }
    }
  }
  close(fd);
}

/* One chunk onto the stick; returns the completion status. */
static int WriteChunk(const UsbWriteRequest* request) {
  if (request->sectors < 1 || request->sectors > WRITE_MAX_SECTORS) return STATUS_BAD_CHUNK;
  long length = (long)request->sectors * 512;
  /* Without the whole chunk there is nothing defined to write. */
  if (ProcRead(kProcData, QT_Buf, (unsigned long)length) != length) return STATUS_BAD_CHUNK;
  if (!IsRequestName(request->name) || BuildFilePath("/mnt/", request->name) != 0)
    return STATUS_OPEN_FAILED;
  int rewrite = request->mode == 2;
  /* Only a regular file is removed or written: a link, FIFO or device node
   * of that name stays as it is and the write is refused (status 1). */
  if (request->create == 1) RemoveStickFile(File_Path);
  int fd = OpenStickFile(File_Path, rewrite ? O_WRONLY : O_WRONLY | O_CREAT | O_APPEND);
  if (fd < 0) return STATUS_OPEN_FAILED;
  int error = 0;
  if (rewrite && lseek(fd, 0, SEEK_SET) != 0) error = STATUS_WRITE_FAILED;
  if (!error && WriteAll(fd, QT_Buf, (unsigned long)length) != length) error = STATUS_WRITE_FAILED;
  close(fd);
  if (rewrite && request->no_index == 0) CloseMovieIndex(File_Path);
  if (rewrite || request->no_index != 0) RunShell("sync");
  if (error) return error;
  return rewrite ? STATUS_MOVIE_CLOSED : STATUS_APPENDED;
}

void usb_storage_write(void) {
  UsbWriteRequest request;
  memset(File_Path, 0, FILE_PATH_SIZE);
  memset(&request, 0, sizeof request);
  /* A request cut short is refused like a chunk of no size: nothing opened. */
  int status = ProcReadRecord(kProcInf, &request, sizeof request) == 0 ? WriteChunk(&request)
                                                                       : STATUS_BAD_CHUNK;
  ProcWriteInt(kProcStatus, status);
}

/* Sends [offset, offset + length) in 256 KiB pieces; only ranges that lie
 * inside the file are copied. */
static int SendRange(int fd, const UsbReadRequest* request) {
  int64_t offset = request->offset;
  int64_t left = request->length;
  if (offset < 0 || left < 0 || offset + left > FileSize(fd)) return STATUS_READ_FAILED;
  while (left > 0) {
    long piece = left < QT_PIECE ? (long)left : QT_PIECE;
    if (ReadAt(fd, offset, QT_Buf, (unsigned long)piece) != piece) return STATUS_READ_FAILED;
    ProcWrite(kProcData, QT_Buf, (unsigned long)piece);
    offset += piece;
    left -= piece;
  }
  return STATUS_READ_DONE;
}

/* Reads count big-endian entries at position into QT_Buf as native int32s
 * and sends them; -1 when they can't all be read. */
static int SendTable(int fd, int64_t position, int32_t count, const char* proc_file) {
  unsigned long bytes = (unsigned long)count * 4;
  if (ReadAt(fd, position, QT_Buf, bytes) != (long)bytes) return -1;
  for (int32_t i = 0; i < count; ++i) {
    int32_t entry = (int32_t)GetBe32(QT_Buf + 4 * (size_t)i);
    memcpy(QT_Buf + 4 * (size_t)i, &entry, 4);
  }
  ProcWrite(proc_file, QT_Buf, bytes);
  return 0;
}

/* Finds the first "stss" tag whose size field also lies inside the window;
 * its offset within the window, or -1. */
static long FindSyncSampleTag(const unsigned char* window, long length) {
  for (long p = 4; p + 4 <= length; ++p)
    if (IsTag(window + p, "stss")) return p;
  return -1;
}

/* Fills Usb_QTI's positions and count and sends the two tables. The atoms
 * after the sync-sample atom are taken as the sample-size and chunk-offset
 * atoms; every entry sent lies inside its atom and inside the file. */
static void SendIndexTables(int fd, int64_t movie, int op) {
  int64_t file_size = FileSize(fd);
  int64_t window_at = movie + MOVIE_HEAD;
  long window = ReadAt(fd, window_at, QT_Buf, STSS_WINDOW);
  long p = FindSyncSampleTag(QT_Buf, window);
  if (p < 0) return;
  int64_t stss = window_at + p - 4;
  int64_t stss_size = GetBe32(QT_Buf + p - 4);
  if (stss_size < ATOM_HEADER) return;
  unsigned char header[STSZ_HEAD];
  int64_t passed = stss + stss_size;
  int64_t passed_size = AtomSizeAt(fd, passed, file_size, header);
  if (passed_size == 0) return;
  int64_t stsz = passed + passed_size;
  if (ReadAt(fd, stsz, header, STSZ_HEAD) != STSZ_HEAD) return;
  int64_t stsz_size = GetBe32(header);
  uint32_t entries = GetBe32(header + 16);
  int64_t stco = stsz + stsz_size;
  if (stco > INT32_MAX) return;
  Usb_QTI.stsz_position = (int32_t)stsz;
  Usb_QTI.stco_position = (int32_t)stco;
  if (entries == 0 || entries > INDEX_MAX_ENTRIES) return;
  int32_t count = op == 2 ? 1 : (int32_t)entries;
  unsigned char stco_header[ATOM_HEADER];
  int64_t stco_size = AtomSizeAt(fd, stco, file_size, stco_header);
  if (STSZ_HEAD + 4 * (int64_t)count > stsz_size || stsz + stsz_size > file_size ||
      STCO_HEAD + 4 * (int64_t)count > stco_size)
    return;
  if (SendTable(fd, stsz + STSZ_HEAD, count, kProcStsz) != 0) return;
  if (SendTable(fd, stco + STCO_HEAD, count, kProcStco) != 0) return;
  Usb_QTI.count = count;
}

/* Answers the movie's index when its header carries the requested format. */
static void SendIndex(int fd, const UsbReadRequest* request) {
  int64_t movie = FindMovieAtom(fd, QT_Buf);
  if (movie < 0) return;
  if ((signed char)QT_Buf[46] != request->format_a || (signed char)QT_Buf[47] != request->format_b)
    return;
  Usb_QTI.creation_time = (int32_t)GetBe32(QT_Buf + 20);
  Usb_QTI.modification_time = (int32_t)GetBe32(QT_Buf + 24);
  SendIndexTables(fd, movie, request->op);
  ProcWrite(kProcInf, &Usb_QTI, sizeof Usb_QTI);
}

static int ReadFromStick(const UsbReadRequest* request) {
  const char* folder = request->in_root ? "/mnt/" : "/mnt/Movie/";
  if (!IsRequestName(request->name) || BuildFilePath(folder, request->name) != 0)
    return STATUS_READ_FAILED;
  int fd = OpenStickFile(File_Path, O_RDONLY);
  if (fd < 0) return STATUS_READ_FAILED;
  int status = STATUS_READ_DONE;
  if (request->op > 0)
    SendIndex(fd, request);
  else
    status = SendRange(fd, request);
  close(fd);
  return status;
}

void usb_storage_read(void) {
  UsbReadRequest request;
  memset(File_Path, 0, FILE_PATH_SIZE);
  memset(QT_Buf, 0, QT_BUF_SIZE);
  memset(&Usb_QTI, 0, sizeof Usb_QTI);
  memset(&request, 0, sizeof request);
  int status = ProcReadRecord(kProcInf, &request, sizeof request) == 0 ? ReadFromStick(&request)
                                                                       : STATUS_READ_FAILED;
  ProcWriteInt(kProcStatus, status);
}

/* Piece c of the test pattern: the file counts 0, 1, 2, ... in 4-byte
 * big-endian words. */
static void FillTestPiece(uint32_t piece) {
  uint32_t base = piece * (QT_PIECE / 4);
  for (uint32_t j = 0; j < QT_PIECE / 4; ++j) PutBe32(QT_Buf + 4 * j, base + j);
}

void usb_storage_write_test(void) {
  memset(QT_Buf, 0, QT_BUF_SIZE);
  UsbWriteRequest request;
  memset(&request, 0, sizeof request);
  /* A request cut short or of no size is refused before anything changes. */
  if (ProcReadRecord(kProcInf, &request, sizeof request) != 0 || request.sectors < 1) {
    ProcWriteInt(kProcStatus, STATUS_BAD_CHUNK);
    return;
  }
  BuildFilePath("/mnt/Movie/", "Test_Write_File.txt");
  RemoveStickFile(File_Path);
  int32_t pieces = (int32_t)(((int64_t)request.sectors + 511) / 512);
  int fd = OpenStickFile(File_Path, O_WRONLY | O_CREAT | O_APPEND);
  if (fd < 0) {
    ProcWriteInt(kProcStatus, STATUS_OPEN_FAILED);
    return;
  }
  UsbTestMark mark = {1, pieces * 256};
  ProcWrite(kProcTest, &mark, sizeof mark);
  int status = STATUS_MOVIE_CLOSED;
  for (int32_t c = 0; c < pieces; ++c) {
    FillTestPiece((uint32_t)c);
    if (WriteAll(fd, QT_Buf, QT_PIECE) != QT_PIECE) {
      status = STATUS_WRITE_FAILED; /* the stick is full or gone: stop timing */
      break;
    }
  }
  mark.flag = 0;
  ProcWrite(kProcTest, &mark, sizeof mark);
  close(fd);
  ProcWriteInt(kProcStatus, status);
}
