// The PNG codec's exceptions and their texts. Each condition has its own
// class, all rooted directly in Exception, so callers can tell them apart.
#pragma once

#include <string>

#include "classlib/SysTypes.h"

HK_DECLARE_EXCEPTION(EPngError, Exception);
HK_DECLARE_EXCEPTION(EPngUnexpectedEnd, Exception);
HK_DECLARE_EXCEPTION(EPngInvalidCRC, Exception);
HK_DECLARE_EXCEPTION(EPngInvalidIHDR, Exception);
HK_DECLARE_EXCEPTION(EPNGMissingMultipleIDAT, Exception);
HK_DECLARE_EXCEPTION(EPNGZLIBError, Exception);
HK_DECLARE_EXCEPTION(EPNGInvalidPalette, Exception);
HK_DECLARE_EXCEPTION(EPNGInvalidFileHeader, Exception);
HK_DECLARE_EXCEPTION(EPNGIHDRNotFirst, Exception);
HK_DECLARE_EXCEPTION(EPNGSizeExceeds, Exception);
HK_DECLARE_EXCEPTION(EPNGUnknownCriticalChunk, Exception);
HK_DECLARE_EXCEPTION(EPNGUnknownCompression, Exception);
HK_DECLARE_EXCEPTION(EPNGUnknownInterlace, Exception);
HK_DECLARE_EXCEPTION(EPNGNoImageData, Exception);
HK_DECLARE_EXCEPTION(EPNGHeaderNotPresent, Exception);
HK_DECLARE_EXCEPTION(EPNGOutMemory, Exception);

// The message texts, exactly as the picture class has always shown them.
namespace PngMessages {
inline constexpr const char* InvalidFileHeader =
    "The file being readed is not a valid \"Portable Network Graphics\" image because it contains an invalid "
    "header. This file may be corruped, try obtaining it again.";
inline constexpr const char* UnexpectedEnd =
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end of the file.";
inline constexpr const char* IHDRNotFirst =
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n(IHDR chunk is not the "
    "first)";
inline constexpr const char* UnknownCriticalChunk =
    "This \"Portable Network Graphics\" image contains an unknown critical part which could not be decoded.";
inline constexpr const char* InvalidCRC =
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data (crc error)";
inline constexpr const char* NoImageData = "This \"Portable Network Graphics\" image contains no data.";
inline constexpr const char* InvalidIHDR =
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece of data (ihdr) might "
    "be corrupted";
inline constexpr const char* SizeExceeds =
    "This \"Portable Network Graphics\" image is not supported because either it's width or height exceeds the "
    "maximum size, which is 65535 pixels length.";
inline constexpr const char* UnknownCompression =
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme which could not be "
    "decoded.";
inline constexpr const char* UnknownInterlace =
    "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not be decoded.";
inline constexpr const char* InvalidPalette = "The \"Portable Network Graphics\" image contains an invalid palette.";
inline constexpr const char* IncompatibleChunks = "The chunks must be compatible to be assigned.";
inline constexpr const char* UnknownPalEntry = "There is no such palette entry.";
inline constexpr const char* OutMemory =
    "Some operation could not be performed because the system is out of resources. Close some windows and try "
    "again.";
inline constexpr const char* MissingMultipleIDAT =
    "This \"Portable Network Graphics\" image is invalid because it has missing image parts.";
inline constexpr const char* ZLIBError =
    "Could not decompress the image because it contains invalid compressed data.\r\n Description: ";
inline constexpr const char* HeaderNotPresent =
    "This operation is not valid because the current image contains no valid header.";
inline constexpr const char* CannotResize =
    "The \"Portable Network Graphics\" image can not be resize by changing width and height properties. Try "
    "assigning the image from a bitmap.";
}  // namespace PngMessages

// Every error of the codec is raised through here.
template <class E>
[[noreturn]] void RaisePNGError(const std::string& message) {
  throw E(message);
}
