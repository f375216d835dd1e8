#pragma once
// The control's library entry points, for any host. The control is created
// on the host's user-interface thread and used only from it. One control per
// process: a second create ends the process with exit code 1 (a destroyed
// control cannot be created again either).
#include <stddef.h>
#include <stdint.h>

#include "control/ScriptingView.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TevranoXHandle TevranoXHandle;

// A VARIANT as the property accessors see it: vt 0 empty, 3 integer, 8 text.
typedef struct {
  uint16_t vt;
  int32_t intVal;
  const char* str;  // UTF-8, for vt 8
} TevranoVariantIn;

// `platform` points at a tevrano::platform::Platform the host keeps alive.
// Runs form creation; returns null on failure.
TevranoXHandle* TevranoX_Create(void* platform);

// Stops everything the control started (its sockets, its timer, the audio
// thread once it exists) and frees it. The handle is invalid afterwards;
// null is ignored. After the last destroy DllCanUnloadNow says yes.
void TevranoX_Destroy(TevranoXHandle* control);

// HRESULT-style results: 0 success, negative failure.
int32_t TevranoX_PutProperty(TevranoXHandle* control, int32_t dispid,
                             const TevranoVariantIn* value);
// Copies the stored VARIANT: its type to *vt, an integer to *intVal and its
// text (zero-terminated, cut to the buffer) to text.
int32_t TevranoX_GetProperty(TevranoXHandle* control, int32_t dispid, uint16_t* vt, int32_t* intVal,
                             char* text, size_t textSize);

// One run of the main loop; the host calls it 10 ms after the end of the
// previous run while TevranoX_TimerEnabled says so.
void TevranoX_Timer(TevranoXHandle* control);
int TevranoX_TimerEnabled(TevranoXHandle* control);

// The form model (a tevrano::TTevranoX, base/Form.h) for C++ hosts that
// bind widgets to it.
void* TevranoX_Form(TevranoXHandle* control);

// The scripting view (control/ScriptingView.h): fills *view; 0 on success.
int32_t TevranoX_GetScriptingView(TevranoXHandle* control, TevranoScriptingView* view);

// The on-screen interface's variables, each name once in table order: fills
// at most `capacity` entries of `out` and returns how many there are.
int32_t TevranoX_GetInterfaceVariables(TevranoXHandle* control, TevranoInterfaceVariable* out,
                                       int32_t capacity);

// The event list (the last events of each camera, camera by camera, newest
// first): fills at most `capacity` entries of `out` and returns how many
// there are.
int32_t TevranoX_GetEvents(TevranoXHandle* control, TevranoEventItem* out, int32_t capacity);

// A backup without the Backup page (the host's command line): camera
// `channel` (0-based) from `from` to `to` (recorder seconds) into `path`
// (FILE.mov; further parts FILE(1).mov …), the folder opened at the end
// when `openFolderAtEnd`. 0 when started; negative when refused.
int32_t TevranoX_StartBackup(TevranoXHandle* control, uint32_t channel, uint32_t from, uint32_t to,
                             const char* path, int32_t openFolderAtEnd);
// Stops a running backup; the movie written so far is finished.
void TevranoX_StopBackup(TevranoXHandle* control);
int32_t TevranoX_GetBackupStatus(TevranoXHandle* control, TevranoBackupStatus* status);

// Where a scripted click on item `item` (from 1) of the first element of the
// skin whose file name contains `skin` and whose target binding is `binding`
// lands. 0 and *target filled when there is one; negative otherwise.
int32_t TevranoX_FindSkinTarget(TevranoXHandle* control, const char* skin, const char* binding,
                                int32_t item, TevranoSkinTarget* target);

// The type library description (a const tevrano::TypeLibraryDescription*).
const void* TevranoX_TypeLibrary(void);

// 0 (S_OK) when the library may be unloaded, 1 (S_FALSE) otherwise. Stops
// the control's audio first, every time it is asked.
int32_t DllCanUnloadNow(void);

#ifdef __cplusplus
}
#endif
