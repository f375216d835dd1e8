#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Form.h"

namespace tevrano::host {

// One line of a viewer script. Commands:
//   wait SECONDS                   let the event loop run that long
//   wait-until CONDITION [TIMEOUT] let the event loop run until CONDITION
//                                  holds (logged-in, picture, backup-ended,
//                                  interface NAME OP VALUE); fails after
//                                  TIMEOUT seconds (default 30)
//   wait-until video-state STATE [TIMEOUT]
//                                  the same, until the dump's video_state is
//                                  STATE: connecting, logged-in, no-video
//   wait-until text "TEXT" [TIMEOUT] the same, until a caption or text of the
//                                  form or a message box shown contains TEXT
//   press|move|release IMAGE X Y   mouse on an image, in its pixels
//   click COMPONENT [X Y]          press and release (images), or its click
//   click-target SKIN BINDING ITEM press and release on a skin element's item
//   set-text COMPONENT TEXT        TEXT is the rest of the line
//   select COMPONENT INDEX         item of a combo box or radio group
//   tab INDEX                      page of PageControl1 (0 = "System")
//   snapshot FILE.png [COMPONENT]  the whole form, or one component
//   dump FILE.json                 the --dump object
//   answer yes|no|ok|cancel        the answer of the next message box shown
//   choose-file PATH               the file the next open dialog chooses
//   save-file PATH                 the file the next save dialog chooses
//                                  (PATH is the rest of the line; a dialog
//                                  with no path queued is cancelled)
//   quit                           exit 0 now
// A line whose first non-blank character is '#' is a comment; there are no
// comments at the end of a line ('#' appears in binding names).
struct ScriptCommand {
  enum class Op {
    Wait,
    WaitUntil,
    Press,
    Move,
    Release,
    Click,
    ClickTarget,
    SetText,
    Select,
    Tab,
    Snapshot,
    Dump,
    Answer,
    ChooseFile,
    SaveFile,
    Quit
  };
  // What wait-until waits for. LoggedIn: the recorder accepted the viewer
  // (the dump's logged_in is 1) and its system information arrived, so the
  // key panel offers what the recorder has. Picture: a decoded picture was
  // drawn into the video area after the wait began. VideoState: the dump's
  // video_state is `text` ("connecting", "logged in", "no video").
  // BackupEnded: the last backup started has ended, complete or not.
  // Interface: the key panel's variable `binding` compares with `value` as
  // `compare` says. Text: a component's caption or text, or a message box's
  // caption or text, contains the command's text.
  enum class Condition { LoggedIn, Picture, VideoState, BackupEnded, Interface, Text };
  enum class Compare { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual };
  static constexpr double kDefaultWaitUntilSeconds = 30;

  Op op = Op::Quit;
  Condition condition = Condition::LoggedIn;
  Compare compare = Compare::Equal;  // wait-until interface
  int value = 0;                     // wait-until interface
  int line = 0;                      // 1-based line in the file
  std::string component;             // the component named, if any
  int x = 0, y = 0;
  bool hasPosition = false;
  double seconds = 0;  // wait's time, wait-until's time-out
  int index = 0;       // select, tab, click-target's item; answer's platform::kIdXxx
  std::string text;    // set-text's text, choose-file's and save-file's path, snapshot's and dump's
                       // file, click-target's skin, wait-until video-state's state,
                       // wait-until text's TEXT
  std::string binding;  // click-target's binding, wait-until interface's variable
};

struct ScriptError {
  int line = 0;
  std::string message;
};

struct ParsedScript {
  std::vector<ScriptCommand> commands;
  std::optional<ScriptError> error;  // the first error; commands is then empty
};

// Checks every line before anything runs: unknown commands, missing or bad
// arguments and components the form does not have are errors.
ParsedScript ParseScript(std::string_view text, const TTevranoX& form);

}  // namespace tevrano::host
