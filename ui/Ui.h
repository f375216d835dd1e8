#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "ui/Ie_com.h"
#include "ui/SkinFile.h"

namespace tevrano {
class TTevranoX;
struct Image;
}  // namespace tevrano

namespace tevrano::ui {

constexpr int kMaxElements = 144;  // over all skins
constexpr int kMaxSkins = 3;
constexpr int kMaxItems = 256;  // items of one element (the circle has 256 steps)
// The speed-dome pad's skin ("Mouse_Preset…") registers at x 54 with type
// 770, whatever it is loaded with.
constexpr int kPadSkinX = 54;
constexpr int kPadSkinType = 770;

// Special element kinds (the piece's `kind`).
enum ElementKind : int {
  kKindDigitsItem = 0,    // item number + value_base as digits
  kKindDigitsItem2 = 1,   // same, at least two digits
  kKindDigitsValue = 2,   // the source value as digits
  kKindDigitsPadded = 3,  // the source value, at least kind_param digits
  kKindCellByValue = 7999,
  kKindModePanel = 8000,
  kKindDateTime = 8001,
  kKindSlider = 8002,
  kKindPagedList = 8003,
  kKindRadio = 8004,
  kKindPagePanel = 8005,
  kKindShownIfSet = 8006,
  kKindShownIfClear = 8007,
  kKindDayCell = 8008,
  kKindProgress = 8009,
  kKindSetupPanel = 8010,
};

// One placed element, built from an element record and its piece.
struct SkinElement {
  SkinName name;
  SkinName source_name, target_name;
  char source_flags[3] = {'0', '0', '0'};
  char target_flags[3] = {'0', '0', '0'};
  Binding source, target;
  int cell_width = 0, cell_height = 0, sheet_x = 0, sheet_y = 0;
  int cells_per_row = 0, state_rows = 0, cell_step = 0;
  int kind = 0, kind_param = 0, click_level = 0;
  int parent = -1;  // global element number, -1 top-level
  int parent_x = 0, parent_y = 0, offset_x = 0, offset_y = 0, center_x = 0, center_y = 0;
  int item_count = 0, layout = 0, radius = 0, spacing_x = 0, spacing_y = 0;
  int columns = 0, first_cell = 0, value_base = 0;
  int record = 0;  // record number within its skin
  int piece = 0;
  int skin = 0;  // index into the skin table
  bool visible = true, enabled = true;
  bool created = false;
};

// One loaded skin: its registration and its own copy of the file.
struct SkinEntry {
  int x = -1, y = 0;  // registration key; x == -1 marks a free entry
  int type = 0;       // kPadSkinType for the speed-dome pad
  char file_name[40] = {};
  int first_element = 0, element_count = 0, max_items = 0;
  std::vector<uint8_t> bytes;  // the file, read once at load
  SkinFile file;
  std::vector<uint16_t> canvas;  // composed picture, YUYV words, stride canvas_w
  int canvas_w = 0, canvas_h = 0;
};

struct SkinHit {
  int element = -1, item = -1;  // item 1-based
  int first = 0, count = 0;     // the skin's element range
  int skin = -1;
};

// What other subsystems do for the on-screen interface. Each may be empty;
// the interface then skips that action.
struct UiHooks {
  // The view command: context, channel count, page, playback state, layout,
  // no-send flag.
  std::function<void(int, int, int, int, int, int)> viewCommand;
  // Calendar steps after a key-form click; returns true when it handled a
  // half-hour slot, time step or day change (the view then stays).
  std::function<bool()> calendarStep;
  // The calendar opens for 1 playback time, 2 backup from, 3 backup to; 0 closes.
  std::function<void(int which)> calendarOpen;
  // Stores the open calendar's time into the time it edits.
  std::function<void()> calendarConfirm;
  // Backup control 0 start, 1 stop, 2 reset progress; returns 1 when started.
  std::function<int(int control)> backupControl;
  // The speed-dome pad's own post-click and release steps.
  std::function<void()> padPostClick;
  std::function<void()> padRelease;
  // Speed-dome module message (class, operation) with no payload: (0, 3) the
  // open message, (1, 3) the request.
  std::function<void(int cls, int operation)> speedDomeMessage;
  // The speaker toggle: restart style 0 (from Off) or 1 (from On).
  std::function<void(int style)> speakerToggle;
  // FREEZE: hold the picture shown (true) or let pictures through again.
  std::function<void(bool hold)> freezePicture;
  // SNAP: save the video area as a picture into the backup folder.
  std::function<void()> snapshot;
};

// The on-screen recorder interface: skins, their elements and bindings, the
// pages, layouts and keys, and the mouse handling of the key panel, the video
// area and the speed-dome button. Runs on the control's thread.
class Ui {
 public:
  explicit Ui(TTevranoX& form);
  Ui(const Ui&) = delete;
  Ui& operator=(const Ui&) = delete;

  UiVariables vars;
  UiHooks hooks;

  // ---- Skins ----
  void ResetSkins();
  // Reads `folder`/`file_name` through `files` and registers it; -1 when the
  // file is absent, larger than a skin may be, or refused.
  int Skin_Load(platform::FileSystem& files, const std::string& folder, int x, int y, int type,
                const char* file_name);
  // The same from bytes already in memory (tests, fuzzing).
  int Skin_LoadBytes(std::span<const uint8_t> bytes, int x, int y, int type, const char* file_name);
  void Skin_Redraw(int force);
  void Skin_Show(int skin);
  void RequestRedraw() { redrawPending_ = true; }

  // ---- Elements ----
  SkinHit Skin_Hit(int x, int y, std::string_view skin_name) const;
  void Skin_Apply(int element, int item);
  // event 1 = press, 0 = release.
  void Skin_Mouse(int event, int x, int y, std::string_view skin_name);
  // A move with the button held.
  void Skin_Drag(int x, int y, std::string_view skin_name);
  Binding Skin_Lookup(std::string_view name) const { return bindings_.Skin_Lookup(name); }
  const BindingTable& Bindings() const { return bindings_; }

  // Centre of item k (0-based) of an element, in its skin's pixels.
  void ItemCenter(const SkinElement& e, int k, int& x, int& y) const;
  // Centre of item `item` (1-based) of the first element of the skin named
  // `skin` whose target binding is `binding`; the image showing that skin.
  struct Target {
    std::string image;
    int x = 0, y = 0;
  };
  std::optional<Target> FindTarget(std::string_view skin, std::string_view binding, int item) const;

  // ---- Pages, layouts, recorder ----
  // The recorder's system information arrived: channel count (4, 8 or 16;
  // anything else keeps the previous count), service variant, page rights.
  // The keys follow; no view is sent.
  void SetUpRecorder(int channelCount, int serviceVariant, int httpPage);
  void View_Set(int layout, int page, bool force = false);
  // The key form's post-click step; `arraysOnly` refreshes the arrays only.
  void KeyFormStep(bool arraysOnly = false);
  void SetPlaybackState(int state);

  // A redraw of the key panel is due; a press waits for it (it is dropped).
  bool RedrawPending() const { return redrawPending_; }
  int Page() const { return page_; }
  int Layout() const { return layout_; }
  int LastSplitLayout() const { return lastSplit_; }
  int ChannelCount() const { return vars.IE_M_CH; }
  int PlaybackState() const { return playbackState_; }
  int InterfaceLevel() const { return level_; }
  void SetInterfaceLevel(int level) { level_ = level; }
  int ServiceVariant() const { return serviceVariant_; }
  int HttpPage() const { return httpPage_; }
  struct SplitDescription {
    int single_channel = 0, quad_group = 0, split_kind = 0;
  };
  const SplitDescription& Split() const { return split_; }

  // ---- Form mouse (key panel, video area, speed-dome button) ----
  void Image1MouseDown(int x, int y);
  void Image1MouseMove(int x, int y);
  void Image1MouseUp(int x, int y);
  // The 33 ms job: key repeat, then the pointer redraw.
  void ThirtyThreeMsStep();
  void VideoAreaMouseDown(int x, int y);
  void SpeedDomeButton();
  void OpenSpeedDome();
  void CloseSpeedDome();
  // Hides the pad's window only (split layouts); the buttons are the view's.
  void HideSpeedDomeWindow();

  // The pointer left the key panel: its hover ends.
  void Image1MouseLeave();
  // The speed-dome pad's own mouse (its image Image5): hover, press, drag,
  // release, leave.
  void PadMouseMove(int x, int y);
  void PadMouseLeave();

  int32_t HeldKey = 0;  // 9999 while a repeating calendar arrow is held
  int RepeatState() const { return repeatState_; }
  // True once the recorder has accepted the viewer (its system information
  // arrived); before that no key press acts and no view is shown or sent.
  bool RecorderReady() const { return recorderReady_; }
  // FREEZE holds the picture.
  bool Frozen() const { return frozen_; }
  // The preset page offset "A_Num#SD" as items use it: within 0..kMaxItems.
  int PagingOffset() const;

  // ---- Inspection ----
  int ElementTotal() const { return elementTotal_; }
  const SkinElement& Element(int i) const { return elements_[i]; }
  SkinElement& Element(int i) { return elements_[i]; }
  const SkinEntry& Skin(int i) const { return skins_[i]; }
  int FindSkin(std::string_view name) const;
  int HoveredElement() const { return hovered_.element; }

 private:
  int BuildElements(SkinEntry& skin, int skinIndex);
  void PlaceItems();
  bool ElementShown(const SkinElement& e) const;
  void Compose(int skin);
  void DrawElement(SkinEntry& s, const SkinElement& e, int index);
  void DrawCell(SkinEntry& s, const SkinElement& e, int row, int col, int cx, int cy, int whiten,
                int clipWidth = -1);
  void DrawNumber(SkinEntry& s, const SkinElement& e, const char* digits, int cx, int cy, int state,
                  int whiten);
  int ItemWhitening(int element, int k) const;
  void Transfer(const SkinElement& e, int item);
  void PreClick();
  void PostClick(int skin);
  void RebuildChannelArrays();
  // The key row: which keys are offered now, and what a pressed key does.
  void UpdateKeys();
  void KeyActions();
  void SetFrozen(bool frozen);
  // An item of an element that writes a layout the recorder does not have.
  bool LayoutItemAbsent(const SkinElement& e, int item) const;
  Image& SkinImage(int skin);

  TTevranoX& form_;
  BindingTable bindings_{vars};
  SkinEntry skins_[kMaxSkins];
  SkinElement elements_[kMaxElements];
  int elementTotal_ = 0;
  int originX_ = 0, originY_ = 0;
  int level_ = 1;

  SkinHit pressed_, hovered_, lastDrawnHover_, lastApplied_;
  bool redrawPending_ = true;
  bool sliderDrag_ = false;
  bool buttonHeld_ = false;  // between a press and a release on a skin
  int lastMouseSkin_ = -1;

  // View state.
  // The view records start as channel 1 alone, and so does the interface.
  int page_ = 0, layout_ = 0, lastSplit_ = 22;
  bool splitChosen_ = false;  // a split was shown since start-up
  int latchedPage_ = 0;
  int liveLayout_ = 0, playbackChannel_ = 0;
  int playbackState_ = 1;
  SplitDescription split_;
  int serviceVariant_ = 0, httpPage_ = 0;
  bool recorderReady_ = false;
  bool frozen_ = false;
  uint32_t keysActed_ = 0;  // keys whose press has been acted on, until the release

  // Key panel mouse.
  int mouseIsDown_ = 0;
  int pressX_ = 0, pressY_ = 0, repeatX_ = 0, repeatY_ = 0;
  int repeatState_ = 0, repeatCount_ = 0;
};

// The skin colour conversion: luma y, chroma u and v, whitening p percent.
uint32_t YuvToRgb(int y, int u, int v, int p);
// The decimal number before the "#" of a constant source name, clamped to
// ±kConstantLimit so that no arithmetic on it overflows.
constexpr int kConstantLimit = 1000000;
int ConstantSource(const SkinName& name);

// Layout helpers shared with the video area and the status line.
// Label of a layout on a recorder with `channels` channels.
std::string LayoutLabel(int layout, int channels);
const char* PageLabel(int page);  // "  Live" … "  Setup"; "" for others
// The video-area cell under (x, y) of a split layout → the new layout, or
// `layout` itself when the click changes nothing.
int VideoAreaLayout(int layout, int lastSplit, int channels, int x, int y, int width, int height);
// Whether a recorder with `channels` channels has layout `layout`: its own
// single channels, and the splits that fit (16: all seven; 8: 1-4, 5-8 and
// the eight-way; 4: the quad).
bool LayoutOffered(int layout, int channels);
// The split the SPLIT key steps to from `layout`: the next offered split
// (after the last, the first); from a single channel `lastSplit` when offered.
int NextSplitLayout(int layout, int lastSplit, int channels);

}  // namespace tevrano::ui
