// Loads a PNG image into a TBitmap32 with the image's transparency in the
// alpha bytes.
#pragma once

#include <string>

#include "bitmap32/Bitmap32.h"

class TStream;

// The PNG starting at the stream's position. alphaUsed tells whether the
// alpha bytes came from the image's transparency. Decoder failures pass
// through unchanged and leave dst untouched.
void LoadPngStreamToBitmap32(TBitmap32* dst, TStream& stream, bool& alphaUsed);
// A resource of the program's own module (EResNotFound when missing).
void LoadPngResourceToBitmap32(TBitmap32* dst, const std::string& resName, const char* resType, bool& alphaUsed);
