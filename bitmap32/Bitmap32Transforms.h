// TTransformation: the base of geometric transformations.
#pragma once

#include "bitmap32/Bitmap32.h"

HK_DECLARE_EXCEPTION(ETransformNotImplemented, Exception);

class TTransformation : public TNotifiablePersistent {
 public:
  void Changed() override;
  virtual void PrepareMapping() {}
  virtual bool HasMappedBounds() { return true; }
  virtual TRect MappedBounds(const TRealRect& srcRect) { return BuildRect(srcRect, rrClosest); }
  bool TransformValid() const { return FTransformValid; }

  void MapReverse(int dstX, int dstY, int& srcX, int& srcY);
  // TFixed is an int: the fixed-point forms carry their own names.
  void MapReverseFixedPoint(TFixed dstX, TFixed dstY, TFixed& srcX, TFixed& srcY);
  void MapReverse(float dstX, float dstY, float& srcX, float& srcY);
  void MapForward(int srcX, int srcY, int& dstX, int& dstY);
  void MapForwardFixedPoint(TFixed srcX, TFixed srcY, TFixed& dstX, TFixed& dstY);
  void MapForward(float srcX, float srcY, float& dstX, float& dstY);

  virtual void MapReverseInt(int dstX, int dstY, int& srcX, int& srcY);
  virtual void MapReverseFixed(TFixed dstX, TFixed dstY, TFixed& srcX, TFixed& srcY);
  virtual void MapReverseFloat(float dstX, float dstY, float& srcX, float& srcY);
  virtual void MapForwardInt(int srcX, int srcY, int& dstX, int& dstY);
  virtual void MapForwardFixed(TFixed srcX, TFixed srcY, TFixed& dstX, TFixed& dstY);
  virtual void MapForwardFloat(float srcX, float srcY, float& dstX, float& dstY);

 protected:
  bool FTransformValid = false;

 private:
  void Prepare() {
    if (!FTransformValid) PrepareMapping();
  }
};
