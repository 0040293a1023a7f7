// The settings dialog: what it shows, the refresh field's rule, the opacity
// preview, Cancel, and OK applying each setting.
#include "CardTestSupport.h"

#include "card/Autostart.h"

namespace {

class SettingsDialogTest : public CardTest {
 public:
  void StartAndOpen(const std::map<std::string, std::string>& keys = {}) {
    WriteConfig(keys);
    Start();
    card->Settings1->Click();
    ASSERT_TRUE(settings->Visible());
  }
  // Leaves the refresh field for the next control, as Tab would.
  void LeaveRefreshField(const std::string& text) {
    settings->edtRefreshTime->SetFocus();
    settings->edtRefreshTime->SetText(text);
    settings->cbbResizeFrom->SetFocus();
    HeadlessPumpMessages();
  }
};

TEST_F(SettingsDialogTest, TheDialogStaysAboveTheCardThroughARefresh) {
  StartAndOpen();
  auto onTop = [&] {
    RECT r{};
    GetWindowRect(settings->Handle(), &r);
    HWND at = WindowFromPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return at ? GetAncestor(at, GA_ROOT) : nullptr;
  };
  EXPECT_EQ(onTop(), settings->Handle()) << "the dialog opened behind the card";
  card->RefreshCard();
  EXPECT_EQ(onTop(), settings->Handle()) << "a refresh raised the card above the dialog";
  EXPECT_EQ(GetWindow(settings->Handle(), GW_OWNER), card->Handle());
}

TEST_F(SettingsDialogTest, AfterTheFirstStartItShowsTheDefaults) {
  WriteFile("config.ini", "[Card]\nDictionaryFileName=" + Path("dict.txt") + "\n");
  Start();
  card->Settings1->Click();
  EXPECT_EQ(settings->Caption(), "Card Settings");
  EXPECT_EQ(settings->edtDictFileName->Text(), Path("dict.txt"));
  EXPECT_EQ(settings->edtRefreshTime->Text(), "15");
  EXPECT_EQ(settings->cbbResizeFrom->ItemIndex(), 0);
  EXPECT_EQ(settings->cbbResizeFrom->Text(), "Center");
  EXPECT_EQ(settings->trkTransparency->Position(), 100);
  EXPECT_FALSE(settings->chkLock->Checked());
  EXPECT_TRUE(settings->chkAutoStop->Checked());
  EXPECT_TRUE(settings->chkStart->Checked());
  EXPECT_EQ(GetWindowLongA(settings->trkTransparency->Handle(), GWL_STYLE) & TBS_ENABLESELRANGE, 0);
}

TEST_F(SettingsDialogTest, RefreshFieldRule) {
  StartAndOpen();
  for (const char* bad : {"", "0", "00", "1a", "-1", "+1", " 1", "1 ", "2147483648", "99999999999", "71583", "35792"}) {
    hk::ClearMessageBoxes();
    LeaveRefreshField(bad);
    ASSERT_EQ(BoxTexts().size(), 1u) << '"' << bad << '"';
    EXPECT_EQ(BoxTexts()[0], "Please enter valid number");
    EXPECT_EQ(hk::MessageBoxesShown()[0].Caption, "Error");
    EXPECT_EQ(GetFocus(), settings->edtRefreshTime->Handle()) << bad;  // back to the field
  }
  for (const char* good : {"007", "1", "35791"}) {
    hk::ClearMessageBoxes();
    LeaveRefreshField(good);
    EXPECT_TRUE(BoxTexts().empty()) << good;
  }
  uint32_t minutes = 0;
  ASSERT_TRUE(ParseRefreshMinutes("007", minutes));
  EXPECT_EQ(minutes, 7u);
  settings->edtRefreshTime->SetText("007");
  settings->btnOK->Click();
  EXPECT_EQ(card->tmrRefresh->Interval(), 7u * 60000u);
  EXPECT_FALSE(settings->Visible());
  card->Settings1->Click();
  settings->edtRefreshTime->SetText("35791");
  settings->btnOK->Click();
  EXPECT_EQ(card->tmrRefresh->Interval(), 35791u * 60000u);
  EXPECT_LE(card->tmrRefresh->Interval(), 2147483647u);  // what config.ini reads back
}

TEST_F(SettingsDialogTest, OkWithARefusedPeriodAppliesNothing) {
  StartAndOpen();
  const int updates = ImageUpdates();
  settings->trkTransparency->SetPosition(200);
  settings->chkLock->SetChecked(true);
  settings->edtRefreshTime->SetFocus();
  settings->edtRefreshTime->SetText("0");
  hk::ClearMessageBoxes();
  HeadlessKeyPress(VK_RETURN);  // Enter presses OK while the field has the focus
  HeadlessPumpMessages();
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(BoxTexts()[0], "Please enter valid number");
  EXPECT_TRUE(settings->Visible());
  EXPECT_EQ(Alpha, 100);
  EXPECT_FALSE(card->Lock1->Checked());
  EXPECT_EQ(card->tmrRefresh->Interval(), 900000u);
  EXPECT_EQ(ImageUpdates(), updates);
  EXPECT_EQ(GetFocus(), settings->edtRefreshTime->Handle());
}

TEST_F(SettingsDialogTest, PreviewCancelAndOk) {
  StartAndOpen();
  settings->trkTransparency->SetPosition(200);
  EXPECT_EQ(CardOpacity(), 200);  // at once, exactly the position
  settings->btnClose->Click();
  EXPECT_FALSE(settings->Visible());
  EXPECT_EQ(CardOpacity(), 100);
  EXPECT_EQ(Alpha, 100);
  card->Settings1->Click();
  settings->trkTransparency->SetPosition(180);
  settings->btnOK->Click();
  EXPECT_EQ(Alpha, 180);
  EXPECT_EQ(CardOpacity(), 179);  // the new card's fade-in ends one below
  // The close box neither applies nor reloads: the preview stays.
  card->Settings1->Click();
  settings->trkTransparency->SetPosition(90);
  SendMessageA(settings->Handle(), WM_CLOSE, 0, 0);
  HeadlessPumpMessages();
  EXPECT_FALSE(settings->Visible());
  EXPECT_EQ(CardOpacity(), 90);
  EXPECT_EQ(Alpha, 180);
}

TEST_F(SettingsDialogTest, OkAppliesEverySetting) {
  WriteFile("other.txt", "木 [き] /(n) tree/\n");
  StartAndOpen();
  const int updates = ImageUpdates();
  settings->edtDictFileName->SetText(Path("other.txt"));
  settings->edtRefreshTime->SetText("2");
  settings->cbbResizeFrom->SetItemIndex(4);
  settings->trkTransparency->SetPosition(150);
  settings->chkLock->SetChecked(true);
  settings->chkAutoStop->SetChecked(false);
  settings->chkStart->SetChecked(false);
  WriteAutostartValue();
  HeadlessAdvance(60000);
  settings->btnOK->Click();
  EXPECT_FALSE(settings->Visible());
  EXPECT_EQ(DictFileName, Path("other.txt"));
  EXPECT_EQ(card->Headword(), u"木");
  EXPECT_EQ(card->tmrRefresh->Interval(), 120000u);
  EXPECT_EQ(ResizingFrom, 4);
  EXPECT_TRUE(card->BottomRight1->Checked());
  EXPECT_FALSE(card->Center1->Checked());
  EXPECT_EQ(Alpha, 150);
  EXPECT_TRUE(card->Lock1->Checked());
  EXPECT_NE(GetWindowLongA(CardWindow(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
  EXPECT_FALSE(AutoStopRefresh);
  EXPECT_EQ(AutostartEntry(), "");
  EXPECT_EQ(ImageUpdates(), updates + 1);
  // A full new period started at OK.
  HeadlessAdvance(119000);
  EXPECT_EQ(ImageUpdates(), updates + 1);
  HeadlessAdvance(2000);
  EXPECT_EQ(ImageUpdates(), updates + 2);
  card->Settings1->Click();
  EXPECT_FALSE(settings->chkStart->Checked());
  EXPECT_EQ(settings->edtRefreshTime->Text(), "2");
  EXPECT_EQ(settings->cbbResizeFrom->ItemIndex(), 4);
  EXPECT_TRUE(settings->chkLock->Checked());
}

TEST_F(SettingsDialogTest, OkWhileDisabledShowsTheCardAndRestartsTheTimer) {
  StartAndOpen({{"RefreshTime", "60000"}});
  card->Disable1->Click();
  ASSERT_FALSE(IsWindowVisible(CardWindow()));
  settings->edtRefreshTime->SetText("1");
  settings->btnOK->Click();
  EXPECT_TRUE(IsWindowVisible(CardWindow()));
  EXPECT_TRUE(card->Disable1->Checked());
  const int updates = ImageUpdates();
  HeadlessAdvance(61000);
  EXPECT_EQ(ImageUpdates(), updates + 1);
}

// OK refuses a file that holds no dictionary (an empty one, a program, an
// image), saying why; the dictionary in use and config.ini stay.
TEST_F(SettingsDialogTest, AnUnreadableNewDictionaryKeepsTheOldOne) {
  const struct {
    const char* Name;
    std::string Bytes;
    const char* Says;
  } cases[] = {
      {"empty.txt", "", "holds no entry"},
      {"ls", kProgramBytes, "is not a UTF-8 text file"},
      {"photo.png", kImageBytes, "is not a UTF-8 text file"},
  };
  StartAndOpen();
  const std::string config = ReadFile("config.ini");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteFile(c.Name, c.Bytes);
    card->Settings1->Click();
    settings->edtDictFileName->SetText(Path(c.Name));
    hk::ClearMessageBoxes();
    settings->btnOK->Click();
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], "The dictionary file " + Path(c.Name) + " " + c.Says + ".\r\nThe dictionary in use is kept.");
    EXPECT_EQ(DictFileName, Path("dict.txt"));
    EXPECT_EQ(DictionaryLines->Count(), 2);
    EXPECT_TRUE(IsWindowVisible(CardWindow()));
    EXPECT_EQ(ReadFile("config.ini"), config);
  }
  // A name that does not exist is ignored without a word.
  card->Settings1->Click();
  settings->edtDictFileName->SetText(Path("nothing.txt"));
  hk::ClearMessageBoxes();
  settings->btnOK->Click();
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_EQ(DictFileName, Path("dict.txt"));
  Finish();  // the exit saves the dictionary in use
  EXPECT_EQ(TIniFile(Path("config.ini")).ReadString("Card", "DictionaryFileName", ""), Path("dict.txt"));
}

TEST_F(SettingsDialogTest, ARefreshLeavesTheFocusInTheDialog) {
  StartAndOpen({{"RefreshTime", "60000"}});
  settings->edtRefreshTime->SetFocus();
  settings->edtRefreshTime->SetText("abc");  // not yet checked: the field keeps the focus
  hk::ClearMessageBoxes();
  const int updates = ImageUpdates();
  HeadlessAdvance(61000);
  EXPECT_EQ(ImageUpdates(), updates + 1);
  EXPECT_TRUE(IsWindowVisible(CardWindow()));
  EXPECT_EQ(GetFocus(), settings->edtRefreshTime->Handle());
  EXPECT_EQ(GetActiveWindow(), settings->Handle());
  EXPECT_TRUE(BoxTexts().empty());
}

}  // namespace

namespace {

TEST_F(SettingsDialogTest, AnUntouchedPeriodUnderAMinuteIsKept) {
  StartAndOpen({{"RefreshTime", "30000"}});
  EXPECT_EQ(settings->edtRefreshTime->Text(), "0");
  hk::ClearMessageBoxes();
  // Only the opacity moved; the field was passed through, never edited.
  settings->edtRefreshTime->SetFocus();
  settings->trkTransparency->SetFocus();
  HeadlessPumpMessages();
  settings->trkTransparency->SetPosition(150);
  settings->btnOK->Click();
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_FALSE(settings->Visible());
  EXPECT_EQ(card->tmrRefresh->Interval(), 30000u);
  EXPECT_EQ(Alpha, 150);
  Finish();
  EXPECT_NE(ReadFile("config.ini").find("RefreshTime=30000"), std::string::npos) << ReadFile("config.ini");
  // Edited, the field's rule holds again.
  Start();
  card->Settings1->Click();
  settings->edtRefreshTime->SetText("00");
  settings->btnOK->Click();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Please enter valid number"});
  EXPECT_TRUE(settings->Visible());
  settings->edtRefreshTime->SetText("3");
  settings->btnOK->Click();
  EXPECT_EQ(card->tmrRefresh->Interval(), 180000u);
}

// A box on the screen takes the focus from the field while it is up, as a
// real one does: the refusal must not start the field's own check.
class RefusalBoxTest : public SettingsDialogTest {
 public:
  void SetUp() override {
    SettingsDialogTest::SetUp();
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "HkTestBox";
    RegisterClassA(&wc);
    hk::SetMessageBoxAnswerer([this](const hk::MessageBoxRecord&) {
      HWND box = CreateWindowExA(0, "HkTestBox", "Error", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, settings->Handle(),
                                 nullptr, nullptr, nullptr);
      SetFocus(box);
      HeadlessPumpMessages();
      DestroyWindow(box);
      return IDOK;
    });
  }
  void TearDown() override {
    hk::SetMessageBoxAnswerer(nullptr);
    SettingsDialogTest::TearDown();
  }
};

TEST_F(RefusalBoxTest, EnterWithZeroGivesOneBoxAndTheDialogGoesOn) {
  StartAndOpen();
  settings->edtRefreshTime->SetFocus();
  settings->edtRefreshTime->SetText("0");
  hk::ClearMessageBoxes();
  HeadlessKeyPress(VK_RETURN);
  HeadlessPumpMessages();
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Please enter valid number"});
  EXPECT_EQ(GetFocus(), settings->edtRefreshTime->Handle());
  // A second Return is one more refusal, one more box.
  hk::ClearMessageBoxes();
  HeadlessKeyPress(VK_RETURN);
  HeadlessPumpMessages();
  EXPECT_EQ(BoxTexts().size(), 1u);
  // Tab away: the field's own check, once.
  hk::ClearMessageBoxes();
  settings->cbbResizeFrom->SetFocus();
  HeadlessPumpMessages();
  EXPECT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(GetFocus(), settings->edtRefreshTime->Handle());
  // Still usable: a good value and Return apply it.
  hk::ClearMessageBoxes();
  settings->edtRefreshTime->SetText("4");
  HeadlessKeyPress(VK_RETURN);
  HeadlessPumpMessages();
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_FALSE(settings->Visible());
  EXPECT_EQ(card->tmrRefresh->Interval(), 240000u);
}

}  // namespace
