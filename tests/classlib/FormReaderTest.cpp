#include "classlib/FormReader.h"

#include <gtest/gtest.h>

#include "classlib/SysUtils.h"

namespace {

// A root and a child of our own, with properties of every kind of value.
struct TReaderChild : TComponent {
  using TComponent::TComponent;
  std::string Text;
  std::vector<std::string> Lines;
  void SetParentComponent(TComponent* parent) override { ParentSeen = parent; }
  void Loaded() override;
  TComponent* ParentSeen = nullptr;
  TReaderChild* Partner = nullptr;  // another component of the form
  TReaderChild* PartnerAtLoaded = nullptr;
};

struct TReaderRoot : TComponent {
  using TComponent::TComponent;
  int Number = 0;
  TColor Colour = 0;
  uint32_t Flags = 0;
  std::string Text, Data;
  bool On = false;
  double Ratio = 0;
  TReaderChild* child1 = nullptr;
  TNotifyEvent OnThing;
  std::function<void(TObject*, int)> OnCount;
  std::vector<std::string> Log;
  void ThingHappened(TObject*) { Log.push_back("thing"); }
  void Counted(TObject*, int n) { Log.push_back("count " + IntToStr(n)); }
  void Loaded() override {
    Log.push_back("Loaded root");
    TComponent::Loaded();
  }
};

void TReaderChild::Loaded() {
  PartnerAtLoaded = Partner;
  static_cast<TReaderRoot*>(Owner())->Log.push_back("Loaded " + Name());
  TComponent::Loaded();
}

const bool kRegistered = [] {
  RegisterClass<TReaderRoot, TComponent>("TReaderRoot");
  RegisterClass<TReaderChild, TComponent>("TReaderChild");
  RegisterProperty<TReaderRoot>("Number", [](TReaderRoot& r, const TFormValue& v) { r.Number = v.AsInteger(); });
  RegisterProperty<TReaderRoot>("Colour", [](TReaderRoot& r, const TFormValue& v) { r.Colour = v.AsColor(); });
  RegisterProperty<TReaderRoot>("Flags", [](TReaderRoot& r, const TFormValue& v) {
    r.Flags = v.AsSetBits({"fA", "fB", "fC"});
  });
  RegisterProperty<TReaderRoot>("Text", [](TReaderRoot& r, const TFormValue& v) { r.Text = v.AsString(); });
  RegisterProperty<TReaderRoot>("Data", [](TReaderRoot& r, const TFormValue& v) {
    if (v.Kind != TFormValue::vkBinary) RaisePropertyError("binary data expected");
    r.Data = v.Str;
  });
  RegisterProperty<TReaderRoot>("On", [](TReaderRoot& r, const TFormValue& v) { r.On = v.AsBoolean(); });
  RegisterProperty<TReaderRoot>("Ratio", [](TReaderRoot& r, const TFormValue& v) { r.Ratio = v.AsFloat(); });
  RegisterEvent<TReaderRoot>("OnThing", &TReaderRoot::OnThing);
  RegisterEvent<TReaderRoot>("OnCount", &TReaderRoot::OnCount);
  RegisterProperty<TReaderChild>("Text", [](TReaderChild& c, const TFormValue& v) { c.Text = v.AsString(); });
  RegisterProperty<TReaderChild>("Lines", [](TReaderChild& c, const TFormValue& v) { c.Lines = v.AsStringList(); });
  RegisterHandler("ThingHappened", &TReaderRoot::ThingHappened);
  RegisterHandler("Counted", &TReaderRoot::Counted);
  RegisterField("child1", &TReaderRoot::child1);
  RegisterReference<TReaderChild, TReaderChild>("Partner", [](TReaderChild& c, TReaderChild* p) { c.Partner = p; });
  return true;
}();

}  // namespace

TEST(FormReader, ReadsEveryKindOfValueAndNesting) {
  TReaderRoot root(nullptr);
  ReadFormText(&root, "TREADERROOT",
               "# comment\r\n"
               "object Root1: TReaderRoot\r\n"
               "  Number = -42\n"
               "  Colour = clBtnFace\n"
               "  Flags = [fA, fC]\n"
               "  Text = 'It''s'#13#10 +\n"
               "    #26085'\xE6\x9C\xAC'\n"
               "  Data = {0A0b\n ff}\n"
               "  On = True   // trailing comment\n"
               "  Ratio = 1.5\n"
               "  OnThing = ThingHappened\n"
               "  OnCount = Counted\n"
               "  object child1: TReaderChild\n"
               "    Text = ''\n"
               "    Lines = ('a'\n 'b')\n"
               "    object child2: TReaderChild\n"
               "    end\n"
               "  end\n"
               "end\n");
  EXPECT_EQ(root.Name(), "Root1");
  EXPECT_EQ(root.Number, -42);
  EXPECT_EQ(root.Colour, clBtnFace);
  EXPECT_EQ(root.Flags, 5u);
  EXPECT_EQ(root.Text, "It's\r\n\xE6\x97\xA5\xE6\x9C\xAC");
  EXPECT_EQ(root.Data, "\x0A\x0B\xFF");
  EXPECT_TRUE(root.On);
  EXPECT_DOUBLE_EQ(root.Ratio, 1.5);
  ASSERT_EQ(root.ComponentCount(), 2);  // the root owns both, as forms do
  auto* c2 = static_cast<TReaderChild*>(root.FindComponent("child2"));
  ASSERT_TRUE(root.child1);
  EXPECT_EQ(root.child1->Lines, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(root.child1->ParentSeen, &root);
  EXPECT_EQ(c2->ParentSeen, root.child1);
  root.OnThing(&root);
  root.OnCount(&root, 3);
  EXPECT_EQ(root.Log, (std::vector<std::string>{"Loaded root", "Loaded child1", "Loaded child2", "thing", "count 3"}));
  EXPECT_FALSE(root.IsLoading());
}

TEST(FormReader, AComponentNamedByAnotherIsFoundOnceAllExist) {
  TReaderRoot root(nullptr);
  // child1 names a component that comes later in the text.
  ReadFormText(&root, "TREFS",
               "object R: TReaderRoot\n"
               "  object child1: TReaderChild\n"
               "    Partner = pmTray\n"
               "  end\n"
               "  object pmTray: TReaderChild\n"
               "    Partner = nil\n"
               "  end\n"
               "end\n");
  auto* tray = static_cast<TReaderChild*>(root.FindComponent("pmTray"));
  EXPECT_EQ(root.child1->Partner, tray);
  EXPECT_EQ(root.child1->PartnerAtLoaded, tray);  // set before Loaded
  EXPECT_EQ(tray->Partner, nullptr);
}

TEST(FormReader, BrokenTextNamesResourceAndLine) {
  struct Case {
    std::string body;  // lines 2 ... of the text
    int line;
    std::string what;
  } cases[] = {
      {"  Nope = 1\nend\n", 2, "property Nope does not exist"},
      {"  Number = 'x'\nend\n", 2, "an integer expected"},
      {"  Number = 99999999999\nend\n", 2, "out of range"},
      {"  Number 1\nend\n", 2, "'=' expected"},
      {"  Text = 'open\nend\n", 2, "unterminated string"},
      {"  Flags = [fA, fZ]\nend\n", 2, "Invalid property value fZ"},
      {"  On = Maybe\nend\n", 2, "True or False"},
      {"\n  Data = {ABC}\nend\n", 3, "odd number of hex digits"},
      {"  OnThing = Missing\nend\n", 2, "Handler Missing of OnThing not found"},
      {"  OnThing = Counted\nend\n", 2, "does not take the arguments of OnThing"},
      {"  object x: TUnknown\n  end\nend\n", 2, "class TUnknown not found"},
      {"  object child1: TReaderChild\n    Bad = 1\n  end\nend\n", 3, "property Bad does not exist"},
      {"  object a: TReaderChild\n  end\n  object A: TReaderChild\n  end\nend\n", 4, "already exists"},
      {"  Number = 1\n", 3, "'end' expected"},
      {"end\nend\n", 3, "text after the last 'end'"},
      {"  object a: TReaderChild\n    Partner = pmTary\n  end\nend\n", 3, "component pmTary not found"},
      {"  object a: TReaderChild\n    Partner = R\n  end\nend\n", 3, "R is not a TReaderChild"},
      {"  object a: TReaderChild\n    Partner = 'pmTray'\n  end\nend\n", 3, "a name expected"},
  };
  for (const Case& c : cases) {
    TReaderRoot root(nullptr);
    try {
      ReadFormText(&root, "TBROKEN", "object R: TReaderRoot\n" + c.body);
      ADD_FAILURE() << "no error for " << c.body;
    } catch (const EFormResourceError& e) {
      EXPECT_EQ(e.Message().rfind("Error reading form resource TBROKEN line " + IntToStr(c.line) + ": ", 0), 0u)
          << e.Message();
      EXPECT_NE(e.Message().find(c.what), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(root.IsLoading());
  }
  TReaderRoot root(nullptr);
  EXPECT_THROW(ReadFormText(&root, "T", ""), EFormResourceError);
  EXPECT_THROW(ReadFormText(&root, "T", "object R: TOtherClass\nend\n"), EFormResourceError);
  EXPECT_THROW(ReadFormResource(&root, "NOSUCHFORM"), EResNotFound);
}

TEST(FormReader, DeepNestingIsAnErrorNotACrash) {
  std::string objects = "object R: TReaderRoot\n", lists = "object R: TReaderRoot\n  object c: TReaderChild\n    Lines = ";
  for (int i = 0; i < 100000; ++i) objects += "object c" + IntToStr(i) + ": TReaderChild\n";
  lists += std::string(100000, '(');
  for (const std::string& text : {objects, lists}) {
    TReaderRoot root(nullptr);
    try {
      ReadFormText(&root, "DEEP", text);
      ADD_FAILURE();
    } catch (const EFormResourceError& e) {
      EXPECT_NE(e.Message().find("nested too deeply"), std::string::npos) << e.Message();
    }
  }
}

TEST(FormReader, SurvivesEveryCutOfAValidText) {
  const std::string text =
      "object R: TReaderRoot\n  Text = 'ab'#65 +\n 'c'\n  Flags = [fB]\n  Data = {00FF}\n"
      "  object child1: TReaderChild\n    Lines = ('x' 'y')\n  end\nend\n";
  for (size_t n = 0; n < text.size(); ++n) {
    TReaderRoot root(nullptr);
    try {
      ReadFormText(&root, "CUT", text.substr(0, n));
    } catch (const EFormResourceError&) {
    }
  }
  TReaderRoot root(nullptr);
  ReadFormText(&root, "FULL", text);
  EXPECT_EQ(root.Text, "abAc");
}
