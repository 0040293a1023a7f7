// Turning other pictures into GIF frames: frames from bitmaps of every
// pixel format (true colour reduced first), icons, graphics that draw
// themselves and pictures, with their transparency; and frames into bitmaps.
#pragma once

#include <cstdint>
#include <vector>

#include "classlib/Graphics.h"

class TGIFSubImage;

// The frame from a TBitmap, TIcon, any other TGraphic or a TPicture (nil
// empties it). False for any other source: the caller then takes the
// inherited Assign, which raises the conversion error.
bool ImportIntoFrame(TGIFSubImage& frame, const TPersistent* source);
void ImportBitmap(TGIFSubImage& frame, TBitmap& bitmap);
void ImportGraphic(TGIFSubImage& frame, TGraphic& graphic);

// A TBitmap destination receives the frame's rendered bitmap; false for others.
bool ExportFrame(TGIFSubImage& frame, TPersistent* dest);

// Marks as transparent every pixel whose mask entry (one per pixel, rows top
// to bottom) is set: a black entry is appended to the sorted local table and
// a graphic control extension names it. A full or empty table, or a mask
// that marks nothing, leaves the frame as it was.
void AddMaskAsTransparency(TGIFSubImage& frame, const std::vector<uint8_t>& mask);

class TGIFImage;
// TGIFImage::Assign of a source that is no TGIFImage: the image is emptied
// and gets one frame made from it. False (and the image left empty) for a
// source that is no picture: the inherited Assign then raises.
bool AssignToImage(TGIFImage& image, const TPersistent* source);
// TGIFImage::AddFrame of a graphic or picture, converted into a new frame
// first; anything else raises "Object type not supported for operation".
int AddGraphicFrame(TGIFImage& image, const TPersistent* item);
// TGIFImage::AssignTo: a TBitmap receives the composite bitmap; false for others.
bool ExportImage(TGIFImage& image, TPersistent* dest);
