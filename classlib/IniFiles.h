// TIniFile: settings in an initialization file.
//
// Reads see the file as it is, as the platform's profile functions do, so
// two objects on one file agree; an object keeps the bytes it read last and
// reads again only when the file's stamp (identity, size, times) changed, so
// a batch of reads costs one read (a file changed in the last few seconds is
// read at every call: its times may not show a change made within one step
// of the file system's clock). Sections and keys compare without regard to
// ASCII case; a value is the text after the first '=' with spaces around it
// removed. A missing or unreadable file (also one that is not a regular file;
// it is opened without blocking) reads as empty: every read gives its
// default.
//
// Writes are held in the object, as the platform's profile cache holds
// them, and reach the file in one rewrite at UpdateFile or when the object
// is freed: a save of many values costs one pass over the file and one
// rewrite, whatever the file's size and lines. Reads through the same object see the held writes. A write changes
// only the line of its key (or adds the key at the end of its section, or
// the section at the end of the file) and keeps every other byte; the new
// content goes to a new, uniquely named file beside the file that then
// replaces it (where none can be made, the whole new content is written
// over the old before the file is cut to length), so a failed or killed
// write never leaves an empty or partial file. A file that is a symbolic
// link is saved at the link's target and the link stays.
//
// A write raises EIniFileException "Unable to write to <file>" at once when
// the file cannot be written: a bad section or key, a file that exists but
// cannot be read, one the user may not write, a folder that is not there or
// may not be written. UpdateFile raises the same when the rewrite itself
// fails (a full disk); a failure of the rewrite when the object is freed
// cannot be raised, so it is said on standard error and the held writes are
// lost: a caller that must know calls UpdateFile. Memory: the file's bytes
// once; twice only while a key's removal or a section's erasure, or a read
// through the object that holds writes, makes the new content.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "classlib/StringLists.h"

// The file a save of the named settings file replaces: a symbolic link
// (or a chain of them) is followed to its target, so the link stays.
std::string IniFileSaveTarget(const std::string& fileName);
// Whether the user may replace the file: it does not exist yet, or the
// user may write it.
bool IniFileMayBeSaved(const std::string& target);

class TCustomIniFile : public TObject {
 public:
  explicit TCustomIniFile(std::string fileName) : FFileName(std::move(fileName)) {}
  const std::string& FileName() const { return FFileName; }

  virtual std::string ReadString(const std::string& section, const std::string& ident,
                                 const std::string& def) const = 0;
  virtual void WriteString(const std::string& section, const std::string& ident, const std::string& value) = 0;
  virtual void ReadSection(const std::string& section, TStrings& idents) const = 0;
  virtual void ReadSections(TStrings& sections) const = 0;
  virtual void EraseSection(const std::string& section) = 0;
  virtual void DeleteKey(const std::string& section, const std::string& ident) = 0;

  // Decimal or 0x hexadecimal; anything else gives the default.
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t def) const;
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  // An integer, non-zero is true; written as "1" or "0".
  bool ReadBool(const std::string& section, const std::string& ident, bool def) const;
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  virtual bool SectionExists(const std::string& section) const;
  virtual bool ValueExists(const std::string& section, const std::string& ident) const;

 private:
  std::string FFileName;
};

class TIniFile : public TCustomIniFile {
 public:
  explicit TIniFile(std::string fileName);
  // One object holds one save's writes.
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;
  // Writes what is held, unless an exception is leaving the scope the object
  // was made in: a save cut short is not written half. A failure goes to
  // standard error.
  ~TIniFile() override;
  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& def) const override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  void ReadSection(const std::string& section, TStrings& idents) const override;
  void ReadSections(TStrings& sections) const override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  bool SectionExists(const std::string& section) const override;
  bool ValueExists(const std::string& section, const std::string& ident) const override;
  // Writes what is held in one rewrite; nothing when nothing is held. A
  // rewrite that fails raises EIniFileException and the file stays as it
  // was; what was held is let go.
  void UpdateFile();

  struct TContents;
  // A key's new line, held until the file's bytes are made again: the
  // writes of a save are placed in one pass over the file.
  struct TKeyWrite {
    std::string Section, Ident, Line;
  };

 private:
  std::shared_ptr<const TContents> Contents() const;
  // The bytes a change is made in: the held ones, or the file's; the held
  // key writes are placed in them first.
  std::string& BytesForWrite();
  // Takes the file as it stands for the writes to come, once a batch.
  void HoldFile();
  // Places the held key writes in the held bytes.
  void PlaceKeyWrites() const;
  mutable std::shared_ptr<const TContents> FCache;
  // The file's content with the held changes, while any are held; key
  // writes not yet placed in it wait in FKeyWrites.
  mutable std::shared_ptr<TContents> FHeld;
  mutable std::vector<TKeyWrite> FKeyWrites;
  bool FHeldChanged = false;
  int FUncaught = 0;
};
