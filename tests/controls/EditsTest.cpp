#include "classlib/controls/Edits.h"

#include <memory>

#include "ControlsForm.h"
#include "classlib/controls/TextUnits.h"
#include "platform/services/MessageBox.h"

namespace {

class EditsTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    Edit = Add<TWideEdit>(10, 10, 200, 21);
    Edit->OnChange = [this](TObject*) { ++Changes; };
    Other = Add<TEdit>(10, 50, 200, 21);
    ShowForm();
    Edit->SetFocus();
    HeadlessPumpMessages();
  }
  void Type(const std::u16string& text) {
    HeadlessChars(text);
    HeadlessPumpMessages();
  }

  TWideEdit* Edit = nullptr;
  TEdit* Other = nullptr;
  int Changes = 0;
};

}  // namespace

TEST_F(EditsTest, TypingFromTheKeyboardOrAnInputMethodInserts) {
  Type(u"abc");
  Type(u"日本語");  // as an input method commits it
  EXPECT_EQ(Edit->Text(), u"abc日本語");
  EXPECT_EQ(Edit->TControl::Text(), "abc日本語");  // the UTF-8 text follows
  EXPECT_EQ(Changes, 2);  // each run inserted at once
  EXPECT_EQ(Edit->CaretPos(), 6);
  Keys({VK_HOME, VK_RIGHT, VK_DELETE, VK_END, VK_BACK});
  EXPECT_EQ(Edit->Text(), u"ac日本");
  Type(u"\t\r\x1b");  // control characters type nothing
  EXPECT_EQ(Edit->Text(), u"ac日本");
}

// A committed phrase is one change, yet every unit of it is a key press a
// handler may drop, and a control character in it acts in its place.
TEST_F(EditsTest, ACommittedRunIsOneChangeAndEachUnitStillAKeyPress) {
  int presses = 0;
  Edit->OnKeyPress = [&](TObject*, char16_t& key) {
    ++presses;
    if (key == u'x') key = 0;
  };
  Type(u"水x道水");
  EXPECT_EQ(Edit->Text(), u"水道水");
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(presses, 4);
  Type(u"ab\bc");
  EXPECT_EQ(Edit->Text(), u"水道水ac");
  Type(u"\U0001F600!");
  EXPECT_EQ(Edit->Text(), u"水道水ac\U0001F600!");
}

TEST_F(EditsTest, ShiftSelectsAndEditsReplaceTheSelection) {
  Edit->SetText(u"hello world");
  Keys({VK_END});
  HeadlessKeyDown(VK_SHIFT);
  Keys({VK_LEFT, VK_LEFT, VK_LEFT, VK_LEFT, VK_LEFT});
  HeadlessKeyUp(VK_SHIFT);
  EXPECT_EQ(Edit->SelText(), u"world");
  Type(u"there");
  EXPECT_EQ(Edit->Text(), u"hello there");
  HeadlessKeyDown(VK_SHIFT);
  Keys({VK_HOME});
  HeadlessKeyUp(VK_SHIFT);
  EXPECT_EQ(Edit->SelLength(), 11);
  Keys({VK_BACK});
  EXPECT_EQ(Edit->Text(), u"");
}

TEST_F(EditsTest, CtrlWordMovesAndClipboardKeys) {
  Edit->SetText(u"one two three");
  Keys({VK_END});
  Chord(VK_CONTROL, VK_LEFT);
  EXPECT_EQ(Edit->CaretPos(), 8);
  Chord(VK_CONTROL, 'A');
  EXPECT_EQ(Edit->SelLength(), 13);
  Chord(VK_CONTROL, 'C');
  EXPECT_EQ(GetClipboardText(), u"one two three");
  Chord(VK_CONTROL, 'X');
  EXPECT_EQ(Edit->Text(), u"");
  Chord(VK_CONTROL, 'V');
  Chord(VK_CONTROL, 'V');
  EXPECT_EQ(Edit->Text(), u"one two threeone two three");
  SetClipboardText(u"first line\r\nsecond");
  Edit->SetText(u"");
  Chord(VK_CONTROL, 'V');
  EXPECT_EQ(Edit->Text(), u"first line");  // one line
}

TEST_F(EditsTest, SurrogatePairsStayWhole) {
  Edit->SetText(u"a\U0001F600b");  // a, an emoji in two units, b
  Keys({VK_END, VK_LEFT, VK_LEFT});
  EXPECT_EQ(Edit->CaretPos(), 1);
  Keys({VK_RIGHT, VK_BACK});
  EXPECT_EQ(Edit->Text(), u"ab");
  Edit->SetMaxLength(3);
  Keys({VK_END});
  Type(u"\U0001F600");  // no room for both halves: nothing
  EXPECT_EQ(Edit->Text(), u"ab");
  Type(u"cd");
  EXPECT_EQ(Edit->Text(), u"abc");
}

TEST_F(EditsTest, ReadOnlyRefusesEditsButCopies) {
  Edit->SetText(u"fixed");
  Edit->SetReadOnly(true);
  Chord(VK_CONTROL, 'A');
  Type(u"x");
  Keys({VK_BACK, VK_DELETE});
  Chord(VK_CONTROL, 'X');
  EXPECT_EQ(Edit->Text(), u"fixed");
  Chord(VK_CONTROL, 'C');
  EXPECT_EQ(GetClipboardText(), u"fixed");
}

TEST_F(EditsTest, KeyDownHandlerSeesKeysFirstAndFocusEventsFire) {
  std::vector<std::string> events;
  Edit->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
    if (key == VK_RETURN) events.push_back("enter");
    if (key == VK_HOME) key = 0;  // swallowed
  };
  Edit->OnExit = [&](TObject*) { events.push_back("exit"); };
  Other->OnEnter = [&](TObject*) { events.push_back("enter other"); };
  Edit->SetText(u"abc");
  Keys({VK_END, VK_HOME, VK_RETURN});
  EXPECT_EQ(Edit->CaretPos(), 3);
  Other->SetFocus();
  HeadlessPumpMessages();
  EXPECT_EQ(events, (std::vector<std::string>{"enter", "exit", "enter other"}));
}

TEST_F(EditsTest, OnExitMayTakeTheFocusBackAndItStaysThere) {
  // A field that checks itself when it loses the focus, as a settings
  // dialog's number field does, telling the user with a box first.
  std::vector<std::string> events;
  hk::ClearMessageBoxes();
  Edit->SetText(u"x");
  Edit->OnExit = [&](TObject*) {
    events.push_back("exit");
    if (Edit->Text() != u"15") {
      MessageBoxA(Form->Handle(), "Please enter valid number", "Error", MB_ICONERROR);
      Edit->SetFocus();
    }
  };
  Other->OnEnter = [&](TObject*) { events.push_back("enter other"); };
  for (auto leave : {+[](TControl* to) { static_cast<TWinControl*>(to)->SetFocus(); },
                     +[](TControl*) { HeadlessKeyPress(VK_TAB); },
                     +[](TControl* to) {
                       POINT p = to->ClientToScreen(POINT{5, 5});
                       HeadlessClick(p.x, p.y);
                     }}) {
    leave(Other);
    HeadlessPumpMessages();
    EXPECT_TRUE(Edit->Focused());
    EXPECT_EQ(GetFocus(), Edit->Handle());
    Keys({'1'});  // the keys still go to the field (its text selected anew)
  }
  EXPECT_EQ(events, (std::vector<std::string>{"exit", "exit", "exit"}));
  EXPECT_EQ(hk::MessageBoxesShown().size(), 3u);
  EXPECT_EQ(Edit->Text(), u"1");
  // Once the text is good the focus moves on.
  Edit->SetText(u"15");
  Other->SetFocus();
  HeadlessPumpMessages();
  EXPECT_TRUE(Other->Focused());
  EXPECT_EQ(events.back(), "enter other");
}

TEST_F(EditsTest, FocusFromCodeSelectsAllAndAClickPlacesTheCaret) {
  Other->SetText("settings");
  Other->SetFocus();
  HeadlessPumpMessages();
  EXPECT_EQ(Other->SelLength(), 8);  // AutoSelect

  Edit->SetText(u"abcdef");
  POINT end = Edit->ClientToScreen(POINT{190, 10});
  HeadlessClick(end.x, end.y);
  HeadlessPumpMessages();
  EXPECT_TRUE(Edit->Focused());
  EXPECT_EQ(Edit->SelLength(), 0);
  EXPECT_EQ(Edit->CaretPos(), 6);
  POINT start = Edit->ClientToScreen(POINT{1, 10});
  HeadlessMouseMove(end.x, end.y);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessMouseMove(start.x, start.y);
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  EXPECT_EQ(Edit->SelText(), u"abcdef");  // dragged over everything
}

TEST_F(EditsTest, TextSetInCodeFiresOnChangeOnlyWhenDifferent) {
  Edit->SetText(u"same");
  Edit->SetText(u"same");
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(Edit->CaretPos(), 0);
  Other->SetText("bytes \xE3\x81\x82");
  EXPECT_EQ(Other->WideText(), u"bytes あ");
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("\xFF\xC0\x80ok")), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBDok");
}
