#include "support/form_place.h"

#include <algorithm>

#include "support/ini.h"
#include "support/sys_init.h"
#include "support/toolkit.h"

namespace support {

namespace {

// Windows are kept this far inside the desktop edges.
constexpr int64_t kDesktopMargin = 10;

void ReloadAppIni() {
  SxAppIni.Clear();
  if (SxAppIniFile.empty()) SysInitSx();
  // An empty file is not loaded, as if it were missing.
  if (FileExistsSx(SxAppIniFile, 1)) SxAppIni.LoadFromFile(SxAppIniFile);
}

// A stored value that does not convert must not keep the window from opening.
int32_t ReadInt(const std::string& section, const char* key, int32_t current) {
  try {
    return static_cast<int32_t>(IniGetSx(SxAppIni, section, key, SxValue(current)).AsInt());
  } catch (const support::ConversionError&) {
    return current;
  }
}

int32_t Clamp32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Moves [low, high) so that it starts at least kDesktopMargin in, or else ends at least
// kDesktopMargin before `extent`; its size stays.
void KeepInside(int32_t* low, int32_t* high, int extent) {
  int64_t size = static_cast<int64_t>(*high) - *low;
  if (*low < kDesktopMargin) {
    *low = kDesktopMargin;
    *high = Clamp32(kDesktopMargin + size);
  } else if (*high > extent - kDesktopMargin) {
    *high = Clamp32(static_cast<int64_t>(extent) - kDesktopMargin);
    *low = Clamp32(static_cast<int64_t>(*high) - size);
  }
}

}  // namespace

void FormPlaceGetSx(support::FormWindow* form) {
  ReloadAppIni();
  if (form == nullptr) return;
  const support::WindowPlacement current = form->Placement();
  const std::string section = form->Name();
  support::WindowPlacement placement;
  placement.left = ReadInt(section, "Left", current.left);
  placement.top = ReadInt(section, "Top", current.top);
  placement.right = ReadInt(section, "Right", current.right);
  placement.bottom = ReadInt(section, "Bottom", current.bottom);
  placement.min_x = ReadInt(section, "MinX", current.min_x);
  placement.min_y = ReadInt(section, "MinY", current.min_y);
  placement.max_x = ReadInt(section, "MaxX", current.max_x);
  placement.max_y = ReadInt(section, "MaxY", current.max_y);
  int32_t show = ReadInt(section, "Show", static_cast<int32_t>(form->State()));
  if (!form->Sizeable()) {
    placement.right = Clamp32(static_cast<int64_t>(placement.left) + form->Width());
    placement.bottom = Clamp32(static_cast<int64_t>(placement.top) + form->Height());
  }
  KeepInside(&placement.left, &placement.right, form->DesktopWidth());
  KeepInside(&placement.top, &placement.bottom, form->DesktopHeight());
  placement.length = 44;
  placement.flags = 0;
  placement.show_command = 0;  // hidden: the state below decides how it shows
  form->ApplyPlacement(placement);
  form->SetState(show == 1   ? support::WindowState::kMinimized
                 : show == 2 ? support::WindowState::kMaximized
                             : support::WindowState::kNormal);
}

void FormPlaceSetSx(support::FormWindow* form, bool save, bool keep) {
  ReloadAppIni();
  if (form == nullptr) return;
  const std::string section = form->Name();
  if (!keep) IniClearSectionSx(SxAppIni, section);
  const support::WindowPlacement p = form->Placement();
  IniSetSx(SxAppIni, section, "Left", SxValue(p.left));
  IniSetSx(SxAppIni, section, "Top", SxValue(p.top));
  IniSetSx(SxAppIni, section, "Right", SxValue(p.right));
  IniSetSx(SxAppIni, section, "Bottom", SxValue(p.bottom));
  IniSetSx(SxAppIni, section, "MinX", SxValue(p.min_x));
  IniSetSx(SxAppIni, section, "MinY", SxValue(p.min_y));
  IniSetSx(SxAppIni, section, "MaxX", SxValue(p.max_x));
  IniSetSx(SxAppIni, section, "MaxY", SxValue(p.max_y));
  IniSetSx(SxAppIni, section, "Show", SxValue(static_cast<int32_t>(form->State())));
  if (save) AppIniSaveSx();
}

void AppIniSaveSx() { IniSaveSx(SxAppIni, SxAppIniFile); }

}  // namespace support
