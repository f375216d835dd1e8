/* The agent's process-wide buffers: fixed static areas, zero at start. */
#include "usb_storage.h"

USB_DI Usb_DI;
QTI Usb_QTI;
char File_Path[FILE_PATH_SIZE];
char File_Name[FILE_NAME_SIZE];
unsigned char QT_Buf[QT_BUF_SIZE];
