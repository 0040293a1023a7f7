#include "bitmap32/Bitmap32Kernels.h"

#include <cmath>
#include <numbers>

#include "classlib/SysTypes.h"

namespace {
using LD = long double;
constexpr LD kPi = std::numbers::pi_v<long double>;

LD Sinc(LD x) {
  if (x == 0) return 1;
  return std::sin(kPi * x) / (kPi * x);
}

template <typename T>
bool SetIf(const std::string& name, const char* want, float value, T setter) {
  if (name != want) return false;
  setter(value);
  return true;
}

template <typename T>
TClassRef<TKernelFactory> KernelRef(const char* name) {
  return {name, [] { return std::unique_ptr<TCustomKernel>(std::make_unique<T>()); }};
}
}  // namespace

void TCustomKernel::AssignTo(TPersistent* dest) const {
  auto* k = dynamic_cast<TCustomKernel*>(dest);
  if (!k) {
    TPersistent::AssignTo(dest);
    return;
  }
  for (const auto& [name, value] : Properties())
    if (!k->SetProperty(name, value)) throw EPropertyError("Unknown property: \"" + name + "\"");
}

float TBoxKernel::WeightAt(float x) const { return x >= -0.5f && x <= 0.5f ? 1.0f : 0.0f; }

float TLinearKernel::WeightAt(float x) const {
  if (x < -1 || x >= 1) return 0;
  return static_cast<float>(1 - std::fabs(static_cast<LD>(x)));
}

float TCosineKernel::WeightAt(float x) const {
  if (std::fabs(x) >= 1) return 0;
  return static_cast<float>((std::cos(kPi * x) + 1) / 2);
}

float TSplineKernel::WeightAt(float x) const {
  LD a = std::fabs(static_cast<LD>(x));
  if (a < 1) return static_cast<float>(a * a * a / 2 - a * a + 2.0L / 3);
  if (a < 2) {
    LD t = 2 - a;
    return static_cast<float>(t * t * t / 6);
  }
  return 0;
}

float TCubicKernel::WeightAt(float x) const {
  LD a = std::fabs(static_cast<LD>(x)), c = FCoeff;
  if (a < 1) return static_cast<float>((c + 2) * a * a * a - (c + 3) * a * a + 1);
  if (a < 2) return static_cast<float>(c * (a * a * a - 5 * a * a + 8 * a - 4));
  return 0;
}

bool TCubicKernel::SetProperty(const std::string& name, float value) {
  return SetIf(name, "Coeff", value, [this](float v) { SetCoeff(v); });
}

float TMitchellKernel::WeightAt(float x) const {
  LD a = std::fabs(static_cast<LD>(x));
  if (a < 1) return static_cast<float>((7 * a * a * a - 12 * a * a + 16.0L / 3) / 6);
  if (a < 2) return static_cast<float>((-7.0L / 3 * a * a * a + 12 * a * a - 20 * a + 32.0L / 3) / 6);
  return 0;
}

float TWindowedSincKernel::WeightAt(float x) const {
  LD a = std::fabs(static_cast<LD>(x));
  if (a >= FWidth) return 0;
  return static_cast<float>(Sinc(a) * WindowAt(a));
}

bool TWindowedSincKernel::SetProperty(const std::string& name, float value) {
  return SetIf(name, "Width", value, [this](float v) { SetWidth(v); });
}

LD TLanczosKernel::WindowAt(LD x) const { return Sinc(x / FWidth); }

LD TGaussianKernel::WindowAt(LD x) const { return std::pow(2.0L, -x * x / FSigma); }

bool TGaussianKernel::SetProperty(const std::string& name, float value) {
  return TWindowedSincKernel::SetProperty(name, value) ||
         SetIf(name, "Sigma", value, [this](float v) { SetSigma(v); });
}

LD TBlackmanKernel::WindowAt(LD x) const {
  return 0.42L + 0.5L * std::cos(kPi * x / FWidth) + 0.08L * std::cos(2 * kPi * x / FWidth);
}

LD THannKernel::WindowAt(LD x) const { return 0.5L + 0.5L * std::cos(kPi * x / FWidth); }

LD THammingKernel::WindowAt(LD x) const { return 0.54L + 0.46L * std::cos(kPi * x / FWidth); }

float TSinshKernel::WeightAt(float x) const {
  if (x == 0) return 1;
  LD c = FCoeff;
  return static_cast<float>(c * std::sin(kPi * x) / std::sinh(kPi * c * x));
}

bool TSinshKernel::SetProperty(const std::string& name, float value) {
  return SetIf(name, "Width", value, [this](float v) { SetWidth(v); }) ||
         SetIf(name, "Coeff", value, [this](float v) { SetCoeff(v); });
}

float THermiteKernel::WeightAt(float x) const {
  LD n = std::floor(static_cast<LD>(x));
  LD t = x - n;
  LD e = 3 * t * t - 2 * t * t * t;
  LD f = (1 - static_cast<LD>(FTension)) / 2;
  LD g = f * (1 - static_cast<LD>(FBias));
  LD h = f * (1 + static_cast<LD>(FBias));
  LD p = t * t * t - 2 * t * t + t;
  LD q = t * t * t - t * t;
  switch (static_cast<int>(n)) {
    case -2:
      return static_cast<float>(g * q);
    case -1:
      return static_cast<float>(e + g * p + q * (h - g));
    case 0:
      return static_cast<float>(p * (h - g) + (1 - e) - q * h);
    case 1:
      return static_cast<float>(-p * h);
    default:
      return 0;
  }
}

bool THermiteKernel::SetProperty(const std::string& name, float value) {
  return SetIf(name, "Bias", value, [this](float v) { SetBias(v); }) ||
         SetIf(name, "Tension", value, [this](float v) { SetTension(v); });
}

TClassList<TKernelFactory>& KernelList() {
  static const TClassRef<TKernelFactory> refs[] = {
      KernelRef<TBoxKernel>("TBoxKernel"),           KernelRef<TLinearKernel>("TLinearKernel"),
      KernelRef<TCosineKernel>("TCosineKernel"),     KernelRef<TSplineKernel>("TSplineKernel"),
      KernelRef<TCubicKernel>("TCubicKernel"),       KernelRef<TMitchellKernel>("TMitchellKernel"),
      KernelRef<TLanczosKernel>("TLanczosKernel"),   KernelRef<TGaussianKernel>("TGaussianKernel"),
      KernelRef<TBlackmanKernel>("TBlackmanKernel"), KernelRef<THannKernel>("THannKernel"),
      KernelRef<THammingKernel>("THammingKernel"),   KernelRef<TSinshKernel>("TSinshKernel"),
      KernelRef<THermiteKernel>("THermiteKernel")};
  static TClassList<TKernelFactory> list = [] {
    TClassList<TKernelFactory> l;
    for (const auto& r : refs) l.Add(&r);
    return l;
  }();
  return list;
}
