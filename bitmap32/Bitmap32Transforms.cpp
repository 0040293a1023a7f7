#include "bitmap32/Bitmap32Transforms.h"

void TTransformation::Changed() {
  FTransformValid = false;
  TNotifiablePersistent::Changed();
}

void TTransformation::MapReverseFixedPoint(TFixed dstX, TFixed dstY, TFixed& srcX, TFixed& srcY) {
  Prepare();
  MapReverseFixed(dstX, dstY, srcX, srcY);
}
void TTransformation::MapForwardFixedPoint(TFixed srcX, TFixed srcY, TFixed& dstX, TFixed& dstY) {
  Prepare();
  MapForwardFixed(srcX, srcY, dstX, dstY);
}
void TTransformation::MapReverse(int dstX, int dstY, int& srcX, int& srcY) {
  Prepare();
  MapReverseInt(dstX, dstY, srcX, srcY);
}
void TTransformation::MapReverse(float dstX, float dstY, float& srcX, float& srcY) {
  Prepare();
  MapReverseFloat(dstX, dstY, srcX, srcY);
}
void TTransformation::MapForward(int srcX, int srcY, int& dstX, int& dstY) {
  Prepare();
  MapForwardInt(srcX, srcY, dstX, dstY);
}
void TTransformation::MapForward(float srcX, float srcY, float& dstX, float& dstY) {
  Prepare();
  MapForwardFloat(srcX, srcY, dstX, dstY);
}

void TTransformation::MapReverseInt(int dstX, int dstY, int& srcX, int& srcY) {
  TFixed fx, fy;
  MapReverseFixed(static_cast<TFixed>(static_cast<uint32_t>(dstX) << 16),
                  static_cast<TFixed>(static_cast<uint32_t>(dstY) << 16), fx, fy);
  srcX = RoundFixed(fx);
  srcY = RoundFixed(fy);
}
void TTransformation::MapReverseFixed(TFixed dstX, TFixed dstY, TFixed& srcX, TFixed& srcY) {
  float x, y;
  MapReverseFloat(dstX / 65536.0f, dstY / 65536.0f, x, y);
  srcX = Fixed(x);
  srcY = Fixed(y);
}
void TTransformation::MapReverseFloat(float, float, float&, float&) {
  throw ETransformNotImplemented("Reverse transformation is not implemented in " + ClassName() + ".");
}
void TTransformation::MapForwardInt(int srcX, int srcY, int& dstX, int& dstY) {
  TFixed fx, fy;
  MapForwardFixed(static_cast<TFixed>(static_cast<uint32_t>(srcX) << 16),
                  static_cast<TFixed>(static_cast<uint32_t>(srcY) << 16), fx, fy);
  dstX = RoundFixed(fx);
  dstY = RoundFixed(fy);
}
void TTransformation::MapForwardFixed(TFixed srcX, TFixed srcY, TFixed& dstX, TFixed& dstY) {
  float x, y;
  MapForwardFloat(srcX / 65536.0f, srcY / 65536.0f, x, y);
  dstX = Fixed(x);
  dstY = Fixed(y);
}
void TTransformation::MapForwardFloat(float, float, float&, float&) {
  throw ETransformNotImplemented("Forward transformation is not implemented in " + ClassName() + ".");
}
