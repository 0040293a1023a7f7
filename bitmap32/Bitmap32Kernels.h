// Kernels: the weight of a source pixel at a signed distance, and its reach.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bitmap32/Bitmap32Containers.h"
#include "classlib/Components.h"

class TCustomKernel : public TPersistent {
 public:
  // True: filtered channels are clamped to 0..255; false: their low byte stays.
  virtual bool NeedsClamp() const { return false; }
  virtual float WeightAt(float x) const = 0;
  virtual float GetWidth() const = 0;

  // The published parameters, in declaration order; SetProperty answers
  // false for a name the class does not have.
  virtual std::vector<std::pair<std::string, float>> Properties() const { return {}; }
  virtual bool SetProperty(const std::string& name, float value) { return false; }

 protected:
  // Another kernel takes every parameter; one it lacks raises EPropertyError.
  void AssignTo(TPersistent* dest) const override;
};

using TKernelFactory = std::function<std::unique_ptr<TCustomKernel>()>;
using TKernelClass = const TClassRef<TKernelFactory>*;
// The thirteen kernels in registration order.
TClassList<TKernelFactory>& KernelList();

class TBoxKernel : public TCustomKernel {
 public:
  float WeightAt(float x) const override;
  float GetWidth() const override { return 1; }
};

class TLinearKernel : public TCustomKernel {
 public:
  float WeightAt(float x) const override;
  float GetWidth() const override { return 1; }
};

class TCosineKernel : public TCustomKernel {
 public:
  float WeightAt(float x) const override;
  float GetWidth() const override { return 1; }
};

class TSplineKernel : public TCustomKernel {
 public:
  bool NeedsClamp() const override { return true; }
  float WeightAt(float x) const override;
  float GetWidth() const override { return 2; }
};

class TCubicKernel : public TCustomKernel {
 public:
  bool NeedsClamp() const override { return true; }
  float WeightAt(float x) const override;
  float GetWidth() const override { return 2; }
  float Coeff() const { return FCoeff; }
  void SetCoeff(float value) { FCoeff = value; }
  std::vector<std::pair<std::string, float>> Properties() const override { return {{"Coeff", FCoeff}}; }
  bool SetProperty(const std::string& name, float value) override;

 private:
  float FCoeff = -0.5f;
};

class TMitchellKernel : public TCustomKernel {
 public:
  bool NeedsClamp() const override { return true; }
  float WeightAt(float x) const override;
  float GetWidth() const override { return 2; }
};

class TWindowedSincKernel : public TCustomKernel {
 public:
  bool NeedsClamp() const override { return true; }
  float WeightAt(float x) const override;
  float GetWidth() const override { return FWidth; }
  virtual long double WindowAt(long double x) const = 0;
  float Width() const { return FWidth; }
  // A negative width reaches nowhere: it becomes 0.
  void SetWidth(float value) { FWidth = value < 0 ? 0 : value; }
  std::vector<std::pair<std::string, float>> Properties() const override { return {{"Width", FWidth}}; }
  bool SetProperty(const std::string& name, float value) override;

 protected:
  float FWidth = 3;
};

class TLanczosKernel : public TWindowedSincKernel {
 public:
  long double WindowAt(long double x) const override;
};

class TGaussianKernel : public TWindowedSincKernel {
 public:
  long double WindowAt(long double x) const override;
  float Sigma() const { return FSigma; }
  // 0 would divide by zero: ignored.
  void SetSigma(float value) {
    if (value != 0) FSigma = value;
  }
  std::vector<std::pair<std::string, float>> Properties() const override {
    return {{"Width", FWidth}, {"Sigma", FSigma}};
  }
  bool SetProperty(const std::string& name, float value) override;

 private:
  float FSigma = 1.33f;
};

class TBlackmanKernel : public TWindowedSincKernel {
 public:
  long double WindowAt(long double x) const override;
};

class THannKernel : public TWindowedSincKernel {
 public:
  long double WindowAt(long double x) const override;
};

class THammingKernel : public TWindowedSincKernel {
 public:
  long double WindowAt(long double x) const override;
};

class TSinshKernel : public TCustomKernel {
 public:
  bool NeedsClamp() const override { return true; }
  float WeightAt(float x) const override;
  float GetWidth() const override { return FWidth; }
  float Width() const { return FWidth; }
  void SetWidth(float value) { FWidth = value < 0 ? 0 : value; }
  float Coeff() const { return FCoeff; }
  void SetCoeff(float value) {
    if (value != 0) FCoeff = value;
  }
  std::vector<std::pair<std::string, float>> Properties() const override {
    return {{"Width", FWidth}, {"Coeff", FCoeff}};
  }
  bool SetProperty(const std::string& name, float value) override;

 private:
  float FWidth = 3;
  float FCoeff = 0.5f;
};

class THermiteKernel : public TCustomKernel {
 public:
  bool NeedsClamp() const override { return true; }
  float WeightAt(float x) const override;
  float GetWidth() const override { return 2; }
  float Bias() const { return FBias; }
  void SetBias(float value) { FBias = value; }
  float Tension() const { return FTension; }
  void SetTension(float value) { FTension = value; }
  std::vector<std::pair<std::string, float>> Properties() const override {
    return {{"Bias", FBias}, {"Tension", FTension}};
  }
  bool SetProperty(const std::string& name, float value) override;

 private:
  float FBias = 0;
  float FTension = 0;
};
