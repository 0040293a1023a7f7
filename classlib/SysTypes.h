// The run-time library's string types and the root of every failure.
#pragma once

#include <exception>
#include <string>
#include <utility>
#include <vector>

// UTF-16 text, counted in 16-bit units.
using WideString = std::u16string;
// Byte text (UTF-8 or an ANSI code page, as the caller says).
using AnsiString = std::string;

// Root of the class library's objects: a virtual destructor and the class
// name that registries and messages use.
class TObject {
 public:
  virtual ~TObject() = default;
  std::string ClassName() const;
};

// Every failure the system raises derives from this class. Its message is
// UTF-8 text, shown as it stands by the application's default handler.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  void SetMessage(std::string message) { FMessage = std::move(message); }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// Declares `class NAME : public BASE` with the base's constructors.
#define HK_DECLARE_EXCEPTION(NAME, BASE) \
  class NAME : public BASE {             \
   public:                               \
    using BASE::BASE;                    \
  }

HK_DECLARE_EXCEPTION(EConvertError, Exception);
HK_DECLARE_EXCEPTION(EOutOfMemory, Exception);
HK_DECLARE_EXCEPTION(EInvalidOperation, Exception);
HK_DECLARE_EXCEPTION(EListError, Exception);
HK_DECLARE_EXCEPTION(EStringListError, Exception);
HK_DECLARE_EXCEPTION(EStreamError, Exception);
HK_DECLARE_EXCEPTION(EReadError, EStreamError);
HK_DECLARE_EXCEPTION(EWriteError, EStreamError);
HK_DECLARE_EXCEPTION(EFOpenError, EStreamError);
HK_DECLARE_EXCEPTION(EFCreateError, EStreamError);
HK_DECLARE_EXCEPTION(EResNotFound, Exception);
HK_DECLARE_EXCEPTION(EIniFileException, Exception);
HK_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
HK_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);
HK_DECLARE_EXCEPTION(EOutOfResources, Exception);
HK_DECLARE_EXCEPTION(EComponentError, Exception);
HK_DECLARE_EXCEPTION(EClassNotFound, Exception);
HK_DECLARE_EXCEPTION(EPropertyError, Exception);
// A form resource that cannot be read; the message names the resource and line.
HK_DECLARE_EXCEPTION(EFormResourceError, Exception);
