#include "classlib/IniFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "TestUtil.h"
#include "tests/support/AsAnotherUser.h"

TEST(IniFile, ReadsCaseInsensitiveWithDefaults) {
  TempDir dir;
  std::string path = dir.Write("c.ini",
                               "; comment\r\n[Dictionary]\r\n DictionaryFileName = /x/edict.txt \r\n"
                               "ShowLineNumber=0\r\n[Card]\nAlpha=0x1F\nBad=12a\nNeg=-7\nBig=99999999999\n"
                               "Empty=\nFirstRun=2\nHex=0xFFFFFFFF\nDollar=$1F\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("dictionary", "DICTIONARYFILENAME", "d"), "/x/edict.txt");
  EXPECT_EQ(ini.ReadString("Dictionary", "Missing", "d"), "d");
  EXPECT_EQ(ini.ReadString("Nope", "ShowLineNumber", "d"), "d");
  EXPECT_FALSE(ini.ReadBool("Dictionary", "ShowLineNumber", true));
  struct {
    const char* key;
    int32_t expected;
  } ints[] = {{"Alpha", 31}, {"Bad", 5}, {"Neg", -7}, {"Big", 5}, {"Empty", 5}, {"Missing", 5}, {"Hex", -1}, {"Dollar", 5}};
  for (auto& c : ints) EXPECT_EQ(ini.ReadInteger("card", c.key, 5), c.expected) << c.key;
  EXPECT_TRUE(ini.ReadBool("Card", "FirstRun", false));
  EXPECT_TRUE(ini.ReadBool("Card", "Bad", true));
  EXPECT_FALSE(ini.ReadBool("Card", "Bad", false));
}

TEST(IniFile, MissingOrBrokenFileReadsAsDefaults) {
  TempDir dir;
  TIniFile missing(dir.File("none.ini"));
  EXPECT_EQ(missing.ReadInteger("Card", "Alpha", 100), 100);
  TIniFile broken(dir.Write("b.ini", std::string("\0\xFF[Card\nAlpha\n=3\n", 17)));
  EXPECT_EQ(broken.ReadInteger("Card", "Alpha", 100), 100);
  TIniFile folder(dir.Path());
  EXPECT_TRUE(folder.ReadBool("Card", "Lock", true));
}

TEST(IniFile, WritesKeepEveryOtherLine) {
  TempDir dir;
  const std::string original =
      "# kept\r\n[Dictionary]\r\nShowLineNumber = 1 ; note\r\nOther=x\r\n\r\n[Card]\nAlpha=3\n  odd line\n";
  std::string path = dir.Write("c.txt", original);
  TIniFile ini(path);
  ini.WriteBool("DICTIONARY", "showlinenumber", false);
  ini.WriteString("Dictionary", "DictionaryFileName", "/a b/edict.txt");
  ini.WriteInteger("Card", "RefreshTime", 900000);
  ini.WriteString("New", "Key", "v");
  ini.UpdateFile();
  EXPECT_EQ(TempDir::Read(path),
            "# kept\r\n[Dictionary]\r\nshowlinenumber=0\r\nOther=x\r\nDictionaryFileName=/a b/edict.txt\r\n\r\n"
            "[Card]\nAlpha=3\n  odd line\nRefreshTime=900000\r\n[New]\r\nKey=v\r\n");
  EXPECT_EQ(TIniFile(path).ReadString("dictionary", "DictionaryFileName", ""), "/a b/edict.txt");
  EXPECT_FALSE(TIniFile(path).ReadBool("Dictionary", "ShowLineNumber", true));

  // A new file is made when none is there.
  TIniFile fresh(dir.File("new.ini"));
  fresh.WriteBool("Card", "FirstRun", false);
  fresh.UpdateFile();
  EXPECT_EQ(TempDir::Read(dir.File("new.ini")), "[Card]\r\nFirstRun=0\r\n");
}

TEST(IniFile, FailedWriteRaisesAndKeepsTheFile) {
  TempDir dir;
  TIniFile nowhere(dir.File("no/such/dir/config.ini"));
  try {
    nowhere.WriteString("A", "B", "C");
    FAIL();
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + dir.File("no/such/dir/config.ini"));
  }
  if (geteuid() != 0) {
    std::string path = dir.Write("ro.ini", "[A]\nB=1\n");
    chmod(path.c_str(), 0444);
    chmod(dir.Path().c_str(), 0555);
    EXPECT_THROW(TIniFile(path).WriteString("A", "B", "2"), EIniFileException);
    chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(TempDir::Read(path), "[A]\nB=1\n");
  }
  // A key that would not read back as itself is refused, not written.
  std::string path = dir.Write("k.ini", "[A]\nB=1\n");
  EXPECT_THROW(TIniFile(path).WriteString("A", "x=y", "2"), EIniFileException);
  EXPECT_THROW(TIniFile(path).WriteString("A]", "x", "2"), EIniFileException);
  EXPECT_EQ(TempDir::Read(path), "[A]\nB=1\n");
}

namespace {

// Old settings with another program's section, and a long new value.
const std::string kOld = "[Dictionary]\r\nShowLineNumber=1\r\n[Other]\r\nKeep=this\r\n";

// Runs one WriteString in a child whose files may not grow past limit
// bytes, as on a full disk: true when the write raised.
bool WriteFailsPast(const std::string& path, off_t limit) {
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit rl{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
    setrlimit(RLIMIT_FSIZE, &rl);
    try {
      TIniFile ini(path);
      ini.WriteString("Dictionary", "DictionaryFileName", std::string(200, 'x'));
      ini.UpdateFile();
    } catch (const EIniFileException&) {
      _exit(1);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

}  // namespace

TEST(IniFile, WriteThatCannotFinishLeavesTheOldContent) {
  // Where the temporary file can be made beside the file, also when a folder
  // holds the name earlier saves used for it; and where none can be made
  // (a name too long for a suffix), so the file is written in place.
  const std::string longName(250, 'c');
  for (const std::string& name : {std::string("config.txt"), longName}) {
    SCOPED_TRACE(name.size());
    TempDir dir;
    const std::string path = dir.Write(name, kOld);
    std::filesystem::create_directory(path + ".tmp~");
    EXPECT_TRUE(WriteFailsPast(path, static_cast<off_t>(kOld.size()) + 20));
    EXPECT_EQ(TempDir::Read(path), kOld);
    // The same write with room to finish, then one that shortens the file.
    TIniFile ini(path);
    ini.WriteString("Dictionary", "DictionaryFileName", std::string(200, 'x'));
    EXPECT_EQ(ini.ReadString("Other", "Keep", ""), "this");
    ini.WriteString("Dictionary", "DictionaryFileName", "e.txt");
    ini.UpdateFile();
    EXPECT_EQ(TempDir::Read(path), "[Dictionary]\r\nShowLineNumber=1\r\nDictionaryFileName=e.txt\r\n"
                                   "[Other]\r\nKeep=this\r\n");
    EXPECT_TRUE(std::filesystem::is_directory(path + ".tmp~"));
    // Nothing but the file and the folder is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
  }
}

TEST(IniFile, WriteRemovesTemporaryFilesOfKilledSaves) {
  TempDir dir;
  const std::string path = dir.Write("config.txt", kOld);
  for (const char* left : {"config.txt.tmp~", "config.txt.tmp~a1B2c3"}) dir.Write(left, "[Dictionary]\r\n");
  for (const char* kept : {"config.txt.tmp~notours", "config.txt.bak", "other.txt.tmp~a1B2c3"}) dir.Write(kept, "x");
  std::filesystem::create_directory(dir.File("config.txt.tmp~Zz9Zz9"));
  TIniFile(path).WriteBool("Dictionary", "ShowLineNumber", false);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path())) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"config.txt", "config.txt.bak", "config.txt.tmp~Zz9Zz9",
                                             "config.txt.tmp~notours", "other.txt.tmp~a1B2c3"}));
  EXPECT_EQ(TempDir::Read(path), "[Dictionary]\r\nShowLineNumber=0\r\n[Other]\r\nKeep=this\r\n");
}

TEST(IniFile, FifoOrFolderAsTheFileNeitherHangsNorIsReplaced) {
  TempDir dir;
  const std::string fifo = dir.File("config.txt");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const std::string folder = dir.File("folder.ini");
  std::filesystem::create_directory(folder);
  for (const std::string& path : {fifo, folder}) {
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Dictionary", "DictionaryFileName", "d"), "d");
    EXPECT_THROW(ini.WriteString("Dictionary", "DictionaryFileName", "x"), EIniFileException);
    EXPECT_THROW(ini.EraseSection("Dictionary"), EIniFileException);
  }
  struct stat st {};
  ASSERT_EQ(stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(IniFile, ALinkedFileIsSavedAtItsTargetAndTheLinkStays) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("real"));
  const std::string target = dir.Write("real/config.ini", "[Card]\nAlpha=1\n");
  // A relative link, and a link to that link.
  std::filesystem::create_symlink("real/config.ini", dir.File("link.ini"));
  std::filesystem::create_symlink(dir.File("link.ini"), dir.File("chain.ini"));
  TIniFile(dir.File("link.ini")).WriteInteger("Card", "Alpha", 2);
  TIniFile(dir.File("chain.ini")).WriteString("Card", "Lock", "1");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.ini")));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("chain.ini")));
  EXPECT_EQ(TempDir::Read(target), "[Card]\nAlpha=2\nLock=1\n");
  EXPECT_EQ(IniFileSaveTarget(dir.File("chain.ini")), dir.File("real/config.ini"));
  // A link to nothing yet: the file is made where it points.
  std::filesystem::create_symlink("real/new.ini", dir.File("dangling.ini"));
  TIniFile(dir.File("dangling.ini")).WriteBool("A", "B", true);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("dangling.ini")));
  EXPECT_EQ(TempDir::Read(dir.File("real/new.ini")), "[A]\r\nB=1\r\n");
}

TEST(IniFile, AFileTheUserMayNotWriteIsNotReplaced) {
  TempDir dir;
  ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);  // the folder itself is open to everyone
  const std::string path = dir.Write("ro.ini", "[A]\nB=1\n");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const int code = hktest::RunAsNobody([&] {
    TIniFile ini(path);
    if (ini.ReadInteger("A", "B", 0) != 1) return 2;
    try {
      ini.WriteString("A", "B", "2");
    } catch (const EIniFileException& e) {
      return e.Message() == "Unable to write to " + path ? 0 : 3;
    }
    return 4;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(TempDir::Read(path), "[A]\nB=1\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(IniFile, EveryReadSeesTheFileAsItIs) {
  TempDir dir;
  const std::string path = dir.Write("c.ini", "[A]\nB=1\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("A", "B", 0), 1);
  // Another writer, at once and with the same size.
  dir.Write("c.ini", "[A]\nB=2\n");
  EXPECT_EQ(ini.ReadInteger("A", "B", 0), 2);
  // A file long unchanged whose bytes change while its times are put back.
  timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  EXPECT_EQ(ini.ReadInteger("A", "B", 0), 2);
  dir.Write("c.ini", "[A]\nB=3\n");
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
  EXPECT_EQ(ini.ReadInteger("A", "B", 0), 3);
  // Our own write, read back by the same object.
  ini.WriteInteger("A", "B", 4);
  EXPECT_EQ(ini.ReadInteger("A", "B", 0), 4);
  EXPECT_TRUE(ini.ValueExists("A", "B"));
  EXPECT_FALSE(ini.ValueExists("A", "C"));
  EXPECT_TRUE(ini.SectionExists("A"));
  EXPECT_FALSE(ini.SectionExists("Z"));
}

namespace {

// How many times the file was put in place (a rename onto its name, or a
// rewrite closed in place), as the folder's watcher saw it.
class TRewriteCounter {
 public:
  TRewriteCounter(const std::string& dir, std::string name) : FName(std::move(name)) {
    FFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(FFd, dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
  }
  ~TRewriteCounter() { close(FFd); }
  int Count() {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
      const ssize_t n = read(FFd, buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        if (e->len > 0 && FName == e->name) ++FCount;
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
    return FCount;
  }

 private:
  int FFd = -1;
  int FCount = 0;
  std::string FName;
};

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

}  // namespace

TEST(IniFile, TheWritesOfOneSaveAreOneRewrite) {
  TempDir dir;
  const std::string original = "; settings\r\n[Other]\r\nKeep=this\r\n[Card]\r\nAlpha=100\r\n";
  const std::string path = dir.Write("config.ini", original);
  const ino_t before = InodeOf(path);
  TRewriteCounter rewrites(dir.Path(), "config.ini");
  {
    TIniFile ini(path);
    const char* keys[] = {"AutoStopRefresh", "Alpha", "ResizingPointX", "ResizingPointY", "ResizingFrom",
                          "DictionaryFileName", "RefreshTime", "Lock", "FirstRun"};
    for (const char* key : keys) ini.WriteInteger("Card", key, 7);
    ini.DeleteKey("Other", "Missing");
    // Held: the same object reads them, the file and another object do not yet.
    EXPECT_EQ(ini.ReadInteger("Card", "Alpha", 0), 7);
    EXPECT_TRUE(ini.ValueExists("Card", "FirstRun"));
    EXPECT_EQ(TIniFile(path).ReadInteger("Card", "Alpha", 0), 100);
    EXPECT_EQ(TempDir::Read(path), original);
    EXPECT_EQ(InodeOf(path), before);
    EXPECT_EQ(rewrites.Count(), 0);
  }
  EXPECT_EQ(rewrites.Count(), 1);
  EXPECT_EQ(TempDir::Read(path),
            "; settings\r\n[Other]\r\nKeep=this\r\n[Card]\r\nAlpha=7\r\nAutoStopRefresh=7\r\nResizingPointX=7\r\n"
            "ResizingPointY=7\r\nResizingFrom=7\r\nDictionaryFileName=7\r\nRefreshTime=7\r\nLock=7\r\nFirstRun=7\r\n");

  // UpdateFile writes at once; after it nothing is held, and a batch that
  // changes nothing writes nothing.
  {
    TIniFile ini(path);
    ini.WriteString("Card", "Lock", "1");
    ini.UpdateFile();
    EXPECT_EQ(rewrites.Count(), 2);
    EXPECT_EQ(TIniFile(path).ReadString("Card", "Lock", ""), "1");
    ini.EraseSection("Nothing");
  }
  EXPECT_EQ(rewrites.Count(), 2);

  // A save cut short by a failure is not written half.
  const std::string saved = TempDir::Read(path);
  try {
    TIniFile ini(path);
    ini.WriteString("Card", "Alpha", "1");
    ini.WriteString("Card", "bad=key", "2");
  } catch (const EIniFileException&) {
  }
  EXPECT_EQ(TempDir::Read(path), saved);
  EXPECT_EQ(rewrites.Count(), 2);
}

// The writes of a save are placed in one pass over the file: the outcome
// is what placing them one at a time gives (a read through the object
// after each write places it). Random files of a few sections, keys in any
// case, duplicates, blank and odd lines, with and without a last line break,
// each given random writes to their sections and to new ones.
TEST(IniFile, WritesPlacedTogetherAreWritesPlacedOneAtATime) {
  TempDir dir;
  std::mt19937 rng(35);
  const char* const names[] = {"Card", "card", "Other", "New", "new2"};
  const char* const keys[] = {"Alpha", "ALPHA", "Lock", "x", "FirstRun"};
  const char* const breaks[] = {"\n", "\r\n", "\r"};
  const char* const odd[] = {"", "  ", "; Alpha=1", "odd line", "x = 1", " [ Other ] ", "a=b=c"};
  for (int round = 0; round < 400; ++round) {
    std::string file;
    const std::string eol = breaks[rng() % 3];
    for (int line = static_cast<int>(rng() % 12); line > 0; --line) {
      switch (rng() % 4) {
        case 0: file += std::string("[") + names[rng() % 4] + "]"; break;
        case 1: file += std::string(keys[rng() % 5]) + "=" + std::to_string(rng() % 9); break;
        default: file += odd[rng() % 7]; break;
      }
      if (line > 1 || rng() % 2) file += eol;
    }
    const std::string together = dir.Write("together.ini", file), apart = dir.Write("apart.ini", file);
    {
      TIniFile a(together), b(apart);
      for (int write = static_cast<int>(1 + rng() % 6); write > 0; --write) {
        const std::string section = names[rng() % 5], key = keys[rng() % 5], value = std::to_string(rng() % 99);
        a.WriteString(section, key, value);
        b.WriteString(section, key, value);
        EXPECT_EQ(b.ReadString(section, key, "?"), value);
      }
    }
    ASSERT_EQ(TempDir::Read(together), TempDir::Read(apart)) << ::testing::PrintToString(file);
  }
}

TEST(IniFile, ASectionHeaderIsALineThatStartsWithABracket) {
  TempDir dir;
  // Indented headers and ones after a lone CR count; a bracket inside a
  // line, or one that is never closed, does not.
  const std::string path = dir.Write("c.ini",
                                     "k=[Not]\r\n \t[One]\ra=1\n[Two\nb=2\n x [Three]\n[Four]  ; note\r\nc=3\n[]\n"
                                     "d=4");
  TIniFile ini(path);
  TStringList sections;
  ini.ReadSections(sections);
  ASSERT_EQ(sections.Count(), 3);
  EXPECT_EQ(sections[0], "One");
  EXPECT_EQ(sections[1], "Four");
  EXPECT_EQ(sections[2], "");
  EXPECT_EQ(ini.ReadString("One", "a", ""), "1");
  EXPECT_EQ(ini.ReadString("One", "b", ""), "2");  // "[Two" is a line of One's
  EXPECT_EQ(ini.ReadString("Four", "c", ""), "3");
  EXPECT_EQ(ini.ReadString("Not", "k", "none"), "none");
  ini.WriteString("Four", "e", "5");  // after Four's last key, before "[]"
  ini.UpdateFile();
  EXPECT_EQ(TempDir::Read(path), "k=[Not]\r\n \t[One]\ra=1\n[Two\nb=2\n x [Three]\n[Four]  ; note\r\nc=3\ne=5\r\n[]\nd=4");
}
