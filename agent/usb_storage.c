/* usb_storage_agent: carries out the recorder video driver's USB stick
 * commands.
 *
 * usage: usb_storage_agent   (no arguments; the driver has put the command
 *                              code in /proc/dvr/usb_storage_com first)
 *
 * A first code of 11 makes the run resident: the agent then reads the code
 * again after each command and ends on 3, 9 or 12, or after 1,000 passes
 * without a new command (about 150 s of idle passes). Any other first code is
 * carried out once. The agent never writes the command file; the driver
 * clears or replaces a code once it has been read. */
#include <stddef.h>
#include <string.h>

#include "usb_storage.h"

_Static_assert(sizeof(UsbFileEntry) == 68, "UsbFileEntry layout");
_Static_assert(sizeof(USB_DI) == 3352, "USB_DI layout");
_Static_assert(offsetof(USB_DI, movie) == 88, "USB_DI movie table");
_Static_assert(offsetof(USB_DI, picture) == 1176, "USB_DI picture table");
_Static_assert(sizeof(UsbWriteRequest) == 84, "UsbWriteRequest layout");
_Static_assert(sizeof(UsbReadRequest) == 88, "UsbReadRequest layout");
_Static_assert(sizeof(QTI) == 20, "QTI layout");
_Static_assert(sizeof(UsbTestMark) == 8, "UsbTestMark layout");

static const char kProcRunning[] = "/proc/dvr/usb_storage_running";
static const char kProcCommand[] = "/proc/dvr/usb_storage_com";
static const char kProcSectorSize[] = "/proc/dvr/usb_sector_size";

enum { RESIDENT_CODE = 11, RESIDENT_IDLE_LIMIT = 1000 };

/* -1 when the command file can't be opened. A record cut short counts as no
 * command. */
static int ReadCommand(int32_t* code) {
  int32_t value = 0;
  long n = ProcRead(kProcCommand, &value, sizeof value);
  if (n < 0) return -1;
  *code = n == (long)sizeof value ? value : 0;
  return 0;
}

/* Carries out one command. Clears *keep_running on a stop command; returns
 * -1 when the run must end at once. */
static int RunCommand(int32_t code, int resident, int* keep_running) {
  switch (code) {
    case 2:
      usb_storage_mount();
      break;
    case 3:
    case 9: {
      const char* mnt = MntForShell();
      if (mnt) RunShell("umount %s", mnt);
      *keep_running = 0;
      break;
    }
    case 4:
      usb_storage_ls();
      break;
    case 5:
      usb_storage_write();
      if (resident) PausePass(); /* paces the driver's chunks */
      break;
    case 6:
      usb_storage_read();
      break;
    case 7:
      usb_storage_del();
      break;
    case 8: {
      int32_t blocks = 0;
      int record = ProcReadRecord(kProcSectorSize, &blocks, sizeof blocks);
      if (record == -1) return -1;
      /* A record cut short is no block count: the format refuses 0. */
      usb_storage_format(record == 0 ? blocks : 0);
      break;
    }
    case 10:
      usb_storage_write_test();
      break;
    case 12:
      *keep_running = 0;
      break;
    default:
      /* 0 is the idle pass. Codes that do nothing (1, 11, 13 and above,
       * negative) pause the same way, so a code left in place never spins. */
      PausePass();
      break;
  }
  return 0;
}

int main(void) {
  if (ProcWriteInt(kProcRunning, 1) != 0) return -1;
  int32_t code;
  if (ReadCommand(&code) != 0) return -1;
  int resident = code == RESIDENT_CODE;
  int keep_running = resident;
  int limit = resident ? RESIDENT_IDLE_LIMIT : 1;
  for (int idle = 0; idle < limit;) {
    if (RunCommand(code, resident, &keep_running) != 0) return -1;
    if (!keep_running) break;
    if (ReadCommand(&code) != 0) return -1;
    if (code != 0) idle = 0;
    ++idle;
  }
  /* The driver learns of the orderly end only from this record. */
  if (ProcWriteInt(kProcRunning, 0) != 0) return -1;
  return 0;
}
