#include "MainFormTestSupport.h"
#include "platform/drivers/headless/Headless.h"
#include "png/PngObject.h"

namespace {

// Screen point of a client point of the form.
POINT OnScreen(THanakumoForm& form, int x, int y) { return form.ClientToScreen(POINT{x, y}); }

POINT Centre(THanakumoForm& form, TControl* control) {
  const TRect r = control->BoundsRect();
  return OnScreen(form, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// The picture an image shows, as the PNG resource it came from.
bool Shows(Main::TImage* image, const char* resource) {
  TPNGObject expected;
  TResourceStream stream(nullptr, resource, "PNG");
  expected.LoadFromStream(stream);
  auto* shown = dynamic_cast<TPNGObject*>(image->Picture().Graphic());
  return shown && shown->Equals(&expected);
}

}  // namespace

TEST_F(MainFormTest, TitleButtonsFollowTheMouse) {
  struct Case {
    Main::TImage* THanakumoForm::*image;
    const char *enter, *leave, *down;
  } cases[] = {{&THanakumoForm::imgClose, "CLOSEENTER", "CLOSELEAVE", "CLOSEDOWN"},
               {&THanakumoForm::imgMaximize, "MAXIMIZEENTER", "MAXIMIZELEAVE", "MAXIMIZEDOWN"},
               {&THanakumoForm::imgMinimize, "MINIMIZEENTER", "MINIMIZELEAVE", "MINIMIZEDOWN"}};
  const POINT away = OnScreen(*form, 300, 300);
  for (const Case& c : cases) {
    Main::TImage* image = form->*c.image;
    EXPECT_TRUE(Shows(image, c.leave)) << c.leave;
    const POINT p = Centre(*form, image);
    HeadlessMouseMove(p.x, p.y);
    HeadlessPumpMessages();
    EXPECT_TRUE(Shows(image, c.enter)) << c.enter;
    HeadlessMouseMove(away.x, away.y);
    HeadlessPumpMessages();
    EXPECT_TRUE(Shows(image, c.leave)) << c.leave;
    HeadlessMouseMove(p.x, p.y);
    HeadlessMouseDown(THeadlessButton::Left);
    HeadlessPumpMessages();
    EXPECT_TRUE(Shows(image, c.down)) << c.down;
    HeadlessMouseUp(THeadlessButton::Left);
    HeadlessPumpMessages();
    if (c.image != &THanakumoForm::imgClose) {
      EXPECT_TRUE(Shows(image, c.leave)) << c.leave;
    }
    ShowWindow(form->Handle(), SW_RESTORE);
    HeadlessPumpMessages();
  }
}

TEST_F(MainFormTest, MaximizeButtonMaximizesThenRestores) {
  const POINT p = Centre(*form, form->imgMaximize);
  HeadlessClick(p.x, p.y);
  HeadlessPumpMessages();
  EXPECT_TRUE(IsZoomed(form->Handle()));
  EXPECT_TRUE(Shows(form->imgMaximize, "MAXIMIZELEAVE"));
  // The button stays at the right edge of the maximized window.
  EXPECT_EQ(form->ClientWidth() - form->imgMaximize->Left(), 680 - 633);
  const POINT q = Centre(*form, form->imgMaximize);
  HeadlessClick(q.x, q.y);
  HeadlessPumpMessages();
  EXPECT_FALSE(IsZoomed(form->Handle()));
}

TEST_F(MainFormTest, MinimizeAndCloseButtonsPostTheirCommands) {
  const POINT m = Centre(*form, form->imgMinimize);
  HeadlessClick(m.x, m.y);
  HeadlessPumpMessages();
  EXPECT_TRUE(IsIconic(form->Handle()));
  ShowWindow(form->Handle(), SW_RESTORE);
  HeadlessPumpMessages();
  const POINT c = Centre(*form, form->imgClose);
  HeadlessClick(c.x, c.y);
  HeadlessPumpMessages();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
}

TEST_F(MainFormTest, TopBoxDragsTheWindowButNotItsButtons) {
  RECT before{}, after{};
  GetWindowRect(form->Handle(), &before);
  const POINT start = OnScreen(*form, 300, 50);
  HeadlessMouseMove(start.x, start.y);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessMouseMove(start.x + 40, start.y + 25);
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  GetWindowRect(form->Handle(), &after);
  EXPECT_EQ(after.left - before.left, 40);
  EXPECT_EQ(after.top - before.top, 25);

  // A press on a title button is no drag.
  const POINT button = Centre(*form, form->imgMinimize);
  LRESULT hit = SendMessageA(form->Handle(), WM_NCHITTEST, 0,
                             MAKELONG(static_cast<WORD>(button.x), static_cast<WORD>(button.y)));
  EXPECT_NE(hit, HTCAPTION);
  const POINT top = OnScreen(*form, 400, 60);
  hit = SendMessageA(form->Handle(), WM_NCHITTEST, 0, MAKELONG(static_cast<WORD>(top.x), static_cast<WORD>(top.y)));
  EXPECT_EQ(hit, HTCAPTION);
  const POINT below = OnScreen(*form, 400, 200);
  hit = SendMessageA(form->Handle(), WM_NCHITTEST, 0,
                     MAKELONG(static_cast<WORD>(below.x), static_cast<WORD>(below.y)));
  EXPECT_NE(hit, HTCAPTION);
}

TEST_F(MainFormTest, WindowKeepsItsMinimumAndTheControlsFollow) {
  form->SetBounds(form->Left(), form->Top(), 300, 200);
  EXPECT_EQ(form->Width(), 546);
  EXPECT_EQ(form->Height(), 450);
  form->SetBounds(form->Left(), form->Top(), 900, 700);
  EXPECT_EQ(form->imgClose->Left(), 654 + 220);
  EXPECT_EQ(form->plMain->Width(), 678 + 220);
  EXPECT_EQ(form->plMain->Height(), 372 + 186);
  EXPECT_EQ(form->pbResult->Width(), 497 + 220);
  EXPECT_EQ(form->lstExactMatch->Height(), 324 + 186);
  EXPECT_EQ(form->lstExactMatch->Width(), 180);
  form->imgSettingsClick(form->imgSettings);
  EXPECT_EQ(form->btnApply->Left(), 592 + 220);
  EXPECT_EQ(form->btnApply->Top(), 336 + 186);
}

TEST_F(MainFormTest, MenuIconsSwitchPages) {
  EXPECT_EQ(form->plMain->ActivePage(), form->pageSearch);
  form->imgSettingsClick(form->imgSettings);
  EXPECT_EQ(form->plMain->ActivePage(), form->pageSettings);
  EXPECT_FALSE(form->pageSearch->Visible());
  form->imgAboutClick(form->imgAbout);
  EXPECT_EQ(form->plMain->ActivePage(), form->pageAbout);
  const POINT icon = Centre(*form, form->imgDictionary);
  HeadlessClick(icon.x, icon.y);
  HeadlessPumpMessages();
  EXPECT_EQ(form->plMain->ActivePage(), form->pageSearch);
}
