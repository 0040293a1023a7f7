// TIniFile: settings in an initialization file.
//
// Every call reads the file afresh, as the platform's profile functions do,
// so two objects on one file always agree. Sections and keys compare without
// regard to ASCII case; a value is the text after the first '=' with spaces
// around it removed. A missing or unreadable file (also one that is not a
// regular file; it is opened without blocking) reads as empty: every read
// gives its default. A write changes only the line of its key (or adds the
// key at the end of its section, or the section at the end of the file) and
// keeps every other line byte for byte; it goes to a new, uniquely named file
// that then replaces the old one (where none can be made, the whole new
// content is written over the old before the file is cut to length), so a
// failed or killed write never leaves an empty or partial file. A failed
// write, or one to a file that exists but cannot be read, raises
// EIniFileException "Unable to write to <file>".
#pragma once

#include <string>

#include "classlib/StringLists.h"

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
  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& ident) const;

 private:
  std::string FFileName;
};

class TIniFile : public TCustomIniFile {
 public:
  using TCustomIniFile::TCustomIniFile;
  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& def) const override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  void ReadSection(const std::string& section, TStrings& idents) const override;
  void ReadSections(TStrings& sections) const override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  // Nothing is held back: every write is already in the file.
  void UpdateFile() {}
};
