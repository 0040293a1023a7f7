#include "classlib/Registry.h"

#include <gtest/gtest.h>

#include "TempFolder.h"

namespace {

const char* const kRunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class RegistryTest : public ::testing::Test {
 protected:
  TempFolder FFolder;
  ScopedEnv FConfig{"XDG_CONFIG_HOME", FFolder.Path()};
  std::string Store() const { return FFolder.File("hanakumo/registry"); }
};

}  // namespace

TEST_F(RegistryTest, ValuesPersistAcrossObjectsAndCompareWithoutCase) {
  {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\Software\\Hanakumo", false));
    ASSERT_TRUE(reg.OpenKey("\\Software\\Hanakumo", true));
    reg.WriteString("Name", "a=b %41 100%\r\nsecond line");
    reg.WriteString("Empty", "");
    reg.WriteString("NAME", "replaced? no: same value, new data");
  }
  TRegistry reg;
  EXPECT_TRUE(reg.KeyExists("\\software"));  // parents exist with their child
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\hanakumo", false));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\hanakumo");  // as asked for
  EXPECT_EQ(reg.ReadString("name"), "replaced? no: same value, new data");
  EXPECT_TRUE(reg.ValueExists("Empty"));
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"Name", "Empty"}));
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_FALSE(reg.ValueExists("Missing"));
  EXPECT_TRUE(reg.DeleteValue("EMPTY"));
  EXPECT_FALSE(reg.DeleteValue("Empty"));

  // A key without a leading '\' is taken from the open key.
  ASSERT_TRUE(reg.OpenKey("Sub", true));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\hanakumo\\Sub");
  reg.WriteString("x", "line\nbreak");
  TRegistry again;
  ASSERT_TRUE(again.OpenKey("\\Software\\Hanakumo\\Sub", false));
  EXPECT_EQ(again.ReadString("x"), "line\nbreak");
}

TEST_F(RegistryTest, RefusedWritesRaiseTheRegistryError) {
  TRegistry reg;
  try {
    reg.WriteString("Orphan", "no key open");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'Orphan'");
  }
  ASSERT_TRUE(reg.OpenKey("\\Software\\Hanakumo", true));
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Hanakumo"));
  EXPECT_THROW(reg.WriteString("v", "read only"), ERegistryException);
  EXPECT_FALSE(reg.DeleteValue("v"));

  reg.SetRootKey(HKEY_LOCAL_MACHINE);  // only the current user is kept
  EXPECT_FALSE(reg.OpenKey("\\Software\\Hanakumo", true));
}

TEST_F(RegistryTest, StoreThatCannotBeWrittenRaises) {
  // The config "folder" is a plain file: nothing can be made beneath it.
  WriteWholeFile(FFolder.File("notafolder"), "x");
  ScopedEnv config("XDG_CONFIG_HOME", FFolder.File("notafolder"));
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("\\Software\\Hanakumo", true));
  ASSERT_TRUE(reg.OpenKey("\\", false));  // the root always exists
  EXPECT_THROW(reg.WriteString("v", "x"), ERegistryException);
}

TEST_F(RegistryTest, DamagedStoreCountsAsEmptyAndIsRewrittenWhole) {
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Hanakumo", true));
    reg.WriteString("Kept", "value");
  }
  const std::string good = ReadWholeFile(Store());
  // Cut anywhere inside a line, or with a broken escape or line: all damaged.
  for (const std::string& bad : {good.substr(0, good.size() - 1), good.substr(0, 10),
                                 good + "V stray%4", good + "X what\n", std::string("\x00\xff\n", 3)}) {
    WriteWholeFile(Store(), bad);
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\Software\\Hanakumo", false)) << bad;
  }
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Hanakumo", true));
    reg.WriteString("Fresh", "1");
  }
  EXPECT_EQ(ReadWholeFile(Store() + ".damaged"), std::string("\x00\xff\n", 3));  // kept beside it
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Hanakumo", false));
  EXPECT_EQ(reg.ReadString("Fresh"), "1");
  EXPECT_FALSE(reg.ValueExists("Kept"));
}

TEST_F(RegistryTest, RunKeyValuesAreAutostartEntries) {
  const std::string path = "/opt/Hanakumo Card/100% \"new\"/HanakumoCard";
  const std::string entry = FFolder.File("autostart/HanakumoCard.desktop");
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kRunKey, true));
    EXPECT_FALSE(reg.ValueExists("HanakumoCard"));
    reg.WriteString("HanakumoCard", path);
  }
  const std::string text = ReadWholeFile(entry);
  EXPECT_NE(text.find("[Desktop Entry]\nType=Application\n"), std::string::npos);
  EXPECT_NE(text.find("Exec=\"/opt/Hanakumo Card/100%% \\\\\"new\\\\\"/HanakumoCard\"\n"), std::string::npos) << text;
  EXPECT_FALSE(FileExistsAt(Store() + ".damaged"));

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kRunKey, true));
  EXPECT_TRUE(reg.ValueExists("HanakumoCard"));
  EXPECT_EQ(reg.ReadString("HanakumoCard"), path);
  EXPECT_EQ(reg.GetValueNames(), std::vector<std::string>{"HanakumoCard"});

  // An entry made by hand (or another tool) reads through its Exec line.
  WriteWholeFile(FFolder.File("autostart/Other.desktop"),
                 "[Desktop Entry]\nType=Application\nExec=\"/usr/bin/my tool\" --flag\n");
  EXPECT_EQ(reg.ReadString("Other"), "/usr/bin/my tool");

  for (const char* unsafe : {"../escape", "", "a/b"}) EXPECT_THROW(reg.WriteString(unsafe, path), ERegistryException);
  EXPECT_THROW(reg.WriteString("Broken", "two\nlines"), ERegistryException);

  EXPECT_TRUE(reg.DeleteValue("HanakumoCard"));
  EXPECT_FALSE(FileExistsAt(entry));
  EXPECT_FALSE(reg.DeleteValue("HanakumoCard"));  // removing a missing value reports false
  EXPECT_EQ(reg.ReadString("HanakumoCard"), "");
}

TEST_F(RegistryTest, ConfigFolderFallsBackToHomeWhenNotAbsolute) {
  ScopedEnv config("XDG_CONFIG_HOME", "relative/path");
  ScopedEnv home("HOME", FFolder.Path());
  EXPECT_EQ(TRegistry::StoreFileName(), FFolder.Path() + "/.config/hanakumo/registry");
  EXPECT_EQ(TRegistry::AutostartDirectory(), FFolder.Path() + "/.config/autostart");
}
