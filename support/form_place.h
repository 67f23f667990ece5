#pragma once
// Saving and restoring a window's placement in the application ini (SxAppIni), under
// the section named after the window. Main thread only.

#include <cstdint>
#include <string>

namespace support {

enum class WindowState { kNormal = 0, kMinimized = 1, kMaximized = 2 };

struct WindowPlacement {
  int32_t length = 44;
  int32_t flags = 0;
  int32_t show_command = 0;
  int32_t min_x = 0, min_y = 0;
  int32_t max_x = 0, max_y = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // the normal rectangle

  bool operator==(const WindowPlacement&) const = default;
};

// What the placement code needs of a window; the desktop program implements it.
class FormWindow {
 public:
  virtual ~FormWindow() = default;
  // The section name.
  virtual std::string Name() const = 0;
  // True for sizeable borders (also sizeable tool windows): only those keep a stored
  // size; fixed forms keep their designed width and height.
  virtual bool Sizeable() const = 0;
  virtual WindowPlacement Placement() const = 0;
  virtual WindowState State() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int DesktopWidth() const = 0;
  virtual int DesktopHeight() const = 0;
  virtual void ApplyPlacement(const WindowPlacement& placement) = 0;
  virtual void SetState(WindowState state) = 0;
};

// Reloads SxAppIni from SxAppIniFile (running SysInitSx first when it has not run);
// with a window, restores its placement, kept 10 pixels inside the desktop, and state.
// A stored value that does not convert falls back to the window's current one.
void FormPlaceGetSx(support::FormWindow* form);
// Reloads SxAppIni (unsaved changes are dropped), clears the window's section unless
// `keep`, writes Left, Top, Right, Bottom, MinX, MinY, MaxX, MaxY, Show, and saves the
// file when `save`.
void FormPlaceSetSx(support::FormWindow* form, bool save, bool keep);
// Saves SxAppIni to SxAppIniFile; any failure is ignored.
void AppIniSaveSx();

}  // namespace support
