#include "support/form_place.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/temp_tree.h"
#include "support/ini.h"
#include "support/sys_init.h"

namespace support {

namespace {

using support::WindowPlacement;
using support::WindowState;

// A window that only remembers what it was told.
class FakeWindow : public support::FormWindow {
 public:
  std::string Name() const override { return name; }
  bool Sizeable() const override { return sizeable; }
  WindowPlacement Placement() const override { return placement; }
  WindowState State() const override { return state; }
  int Width() const override { return width; }
  int Height() const override { return height; }
  int DesktopWidth() const override { return desktop_width; }
  int DesktopHeight() const override { return desktop_height; }
  void ApplyPlacement(const WindowPlacement& p) override {
    applied.push_back(p);
    placement = p;
  }
  void SetState(WindowState s) override { state = s; }

  std::string name = "Viv050";
  bool sizeable = true;
  WindowPlacement placement;
  WindowState state = WindowState::kNormal;
  int width = 300, height = 200;
  int desktop_width = 1920, desktop_height = 1080;
  std::vector<WindowPlacement> applied;
};

WindowPlacement Rect(int left, int top, int right, int bottom) {
  WindowPlacement p;
  p.left = left;
  p.top = top;
  p.right = right;
  p.bottom = bottom;
  return p;
}

class FormPlaceTest : public ::testing::Test {
 protected:
  FormPlaceTest() {
    SxAppIniFile = tree_.Path("app.Ini");
    SxAppIni.Clear();
  }
  ~FormPlaceTest() override {
    SxAppIniFile.clear();
    SxAppIni.Clear();
  }
  void Store(const std::string& text) { tree_.File("app.Ini", text); }

  testing_support::TempTree tree_;
  FakeWindow window_;
};

TEST_F(FormPlaceTest, RestoresStoredPlacementAndState) {
  Store(
      "[Viv050]\nLeft=100\nTop=50\nRight=900\nBottom=650\nMinX=-1\nMinY=-2\nMaxX=-8\n"
      "MaxY=-9\nShow=2\n");
  FormPlaceGetSx(&window_);
  ASSERT_EQ(window_.applied.size(), 1u);
  const WindowPlacement& p = window_.applied[0];
  EXPECT_EQ(p.length, 44);
  EXPECT_EQ(p.flags, 0);
  EXPECT_EQ(p.show_command, 0);
  EXPECT_EQ(p.left, 100);
  EXPECT_EQ(p.top, 50);
  EXPECT_EQ(p.right, 900);
  EXPECT_EQ(p.bottom, 650);
  EXPECT_EQ(p.min_x, -1);
  EXPECT_EQ(p.min_y, -2);
  EXPECT_EQ(p.max_x, -8);
  EXPECT_EQ(p.max_y, -9);
  EXPECT_EQ(window_.state, WindowState::kMaximized);
  EXPECT_EQ(SxAppIni.size(), 10u);
}

TEST_F(FormPlaceTest, KeepsTheWindowTenPixelsInsideTheDesktop) {
  Store("[Viv050]\nLeft=3\nTop=-40\nRight=503\nBottom=360\n");
  FormPlaceGetSx(&window_);
  EXPECT_EQ(window_.placement, Rect(10, 10, 510, 410));
  Store("[Viv050]\nLeft=1800\nTop=900\nRight=2100\nBottom=1100\n");
  FormPlaceGetSx(&window_);
  EXPECT_EQ(window_.placement, Rect(1610, 870, 1910, 1070));
  Store("[Viv050]\nLeft=10\nTop=10\nRight=1910\nBottom=1070\n");
  FormPlaceGetSx(&window_);
  EXPECT_EQ(window_.placement, Rect(10, 10, 1910, 1070));
}

TEST_F(FormPlaceTest, FixedSizeFormsKeepTheirDesignedSize) {
  window_.sizeable = false;
  Store("[Viv050]\nLeft=100\nTop=100\nRight=1000\nBottom=1000\n");
  FormPlaceGetSx(&window_);
  EXPECT_EQ(window_.placement, Rect(100, 100, 400, 300));
}

TEST_F(FormPlaceTest, MissingOrBadValuesFallBackToTheCurrentPlacement) {
  window_.placement = Rect(20, 30, 220, 330);
  window_.state = WindowState::kMinimized;
  Store("[Viv050]\nLeft=oops\nTop=5 \nRight=250\nShow=x\n");
  FormPlaceGetSx(&window_);
  EXPECT_EQ(window_.placement, Rect(20, 30, 250, 330));
  EXPECT_EQ(window_.state, WindowState::kMinimized);
}

TEST_F(FormPlaceTest, HugeValuesDoNotOverflow) {
  Store("[Viv050]\nLeft=-2147483648\nRight=2147483647\nTop=2147483000\nBottom=2147483647\n");
  FormPlaceGetSx(&window_);
  EXPECT_EQ(window_.placement.left, 10);
  EXPECT_EQ(window_.placement.right, 2147483647);
  EXPECT_EQ(window_.placement.top, 423);
  EXPECT_EQ(window_.placement.bottom, 1070);
}

TEST_F(FormPlaceTest, WithoutAFormOnlyTheIniIsReloaded) {
  Store("[A]\nx=1\n");
  SxAppIni.Add("unsaved");
  FormPlaceGetSx(nullptr);
  EXPECT_EQ(SxAppIni.items(), (std::vector<std::string>{"[A]", "x=1"}));
  Store("");
  FormPlaceGetSx(nullptr);
  EXPECT_TRUE(SxAppIni.empty());
}

TEST_F(FormPlaceTest, SaveWritesTheNineKeysInOrder) {
  Store("[Viv050]\nPath=/data/\n[Other]\nx=1\n");
  window_.placement = Rect(11, 22, 333, 444);
  window_.placement.min_x = -1;
  window_.placement.min_y = -1;
  window_.placement.max_x = -4;
  window_.placement.max_y = -5;
  window_.state = WindowState::kMaximized;
  FormPlaceSetSx(&window_, true, false);
  EXPECT_EQ(testing_support::TempTree::Read(SxAppIniFile),
            "[Viv050]\nLeft=11\nTop=22\nRight=333\nBottom=444\nMinX=-1\nMinY=-1\nMaxX=-4\n"
            "MaxY=-5\nShow=2\n[Other]\nx=1\n");
}

TEST_F(FormPlaceTest, KeepLeavesTheOtherKeysOfTheSection) {
  Store("[Viv050]\nPath=/data/\nLeft=1\n");
  window_.placement = Rect(11, 22, 333, 444);
  FormPlaceSetSx(&window_, false, true);
  EXPECT_EQ(SxAppIni.items(), (std::vector<std::string>{
                                  "[Viv050]", "Path=/data/", "Left=11", "Top=22", "Right=333",
                                  "Bottom=444", "MinX=0", "MinY=0", "MaxX=0", "MaxY=0", "Show=0"}));
  // Not saved: the file is as it was until AppIniSaveSx.
  EXPECT_EQ(testing_support::TempTree::Read(SxAppIniFile), "[Viv050]\nPath=/data/\nLeft=1\n");
  IniSetSx(SxAppIni, "Viv050", "Path", SxValue("/new/"));
  AppIniSaveSx();
  EXPECT_EQ(testing_support::TempTree::Read(SxAppIniFile),
            "[Viv050]\nPath=/new/\nLeft=11\nTop=22\nRight=333\nBottom=444\nMinX=0\nMinY=0\n"
            "MaxX=0\nMaxY=0\nShow=0\n");
}

TEST_F(FormPlaceTest, SavedPlacementComesBack) {
  window_.placement = Rect(40, 50, 640, 550);
  window_.state = WindowState::kNormal;
  FormPlaceSetSx(&window_, true, false);
  FakeWindow other;
  FormPlaceGetSx(&other);
  EXPECT_EQ(other.placement, Rect(40, 50, 640, 550));
  EXPECT_EQ(other.state, WindowState::kNormal);
}

TEST_F(FormPlaceTest, SavingToAnUnwritablePlaceIsIgnored) {
  SxAppIniFile = tree_.Path("no/such/dir/app.Ini");
  FormPlaceSetSx(&window_, true, false);
  AppIniSaveSx();
  EXPECT_EQ(SxAppIni.size(), 10u);
}

}  // namespace

}  // namespace support
