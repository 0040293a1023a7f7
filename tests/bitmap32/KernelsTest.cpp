#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "bitmap32/Bitmap32Kernels.h"

TEST(Kernels, WeightsAtTheirEdges) {
  TBoxKernel box;
  TLinearKernel linear;
  TCosineKernel cosine;
  TSplineKernel spline;
  TCubicKernel cubic;
  TMitchellKernel mitchell;
  TLanczosKernel lanczos;
  THermiteKernel hermite;
  struct Case {
    const TCustomKernel& k;
    float x, want;
  } cases[] = {
      {box, 0.5f, 1},         {box, 0.51f, 0},          {box, -0.5f, 1},
      {linear, -1, 0},        {linear, -0.25f, 0.75f},  {linear, 1, 0},
      {cosine, 0, 1},         {cosine, 0.5f, 0.5f},     {cosine, 1, 0},
      {cubic, 0, 1},          {cubic, 1, 0},            {cubic, 1.5f, -0.0625f},
      {mitchell, 0, 16.0f / 18}, {mitchell, 2, 0},
      {spline, 0, 2.0f / 3},  {spline, 1, 1.0f / 6},    {spline, -2, 0},
      {lanczos, 0, 1},        {lanczos, 3, 0},          {lanczos, 1, 0},
      {lanczos, 2, 0},        {hermite, 0, 1},          {hermite, 1, 0},
      {hermite, 0.5f, 0.5625f}, {hermite, -0.5f, 0.5625f}, {hermite, 1.5f, -0.0625f},
  };
  for (const auto& c : cases) EXPECT_NEAR(c.k.WeightAt(c.x), c.want, 1e-6) << c.k.ClassName() << " at " << c.x;
  EXPECT_EQ(lanczos.WeightAt(3), 0.0f);  // the cut-off is exact
  EXPECT_EQ(lanczos.GetWidth(), 3);
  EXPECT_FALSE(linear.NeedsClamp());
  EXPECT_TRUE(lanczos.NeedsClamp());
}

TEST(Kernels, ParametersAndTheirSetters) {
  TGaussianKernel g;
  g.SetSigma(0);
  EXPECT_FLOAT_EQ(g.Sigma(), 1.33f);
  g.SetWidth(2);
  EXPECT_EQ(g.GetWidth(), 2);
  EXPECT_EQ(g.WeightAt(2.5f), 0);
  g.SetWidth(-4);  // a negative reach is none
  EXPECT_EQ(g.GetWidth(), 0);
  TSinshKernel s;
  s.SetCoeff(0);
  EXPECT_FLOAT_EQ(s.Coeff(), 0.5f);
  EXPECT_EQ(s.WeightAt(0), 1);
  EXPECT_NE(s.WeightAt(5), 0);  // no cut-off at its width
  TCubicKernel c;
  c.SetCoeff(0);
  EXPECT_EQ(c.Coeff(), 0);
}

TEST(Kernels, AssignCopiesParametersBetweenKernels) {
  TLanczosKernel a, b;
  a.SetWidth(4);
  b.Assign(&a);
  EXPECT_EQ(b.Width(), 4);
  THermiteKernel h1, h2;
  h1.SetBias(0.25f);
  h1.SetTension(-1);
  h2.Assign(&h1);
  EXPECT_EQ(h2.Bias(), 0.25f);
  EXPECT_EQ(h2.Tension(), -1);
  TBoxKernel box;
  EXPECT_THROW(box.Assign(&a), EPropertyError);  // a box has no Width
  EXPECT_THROW(a.Assign(nullptr), EConvertError);
}

TEST(Kernels, RegisteredByNameInOrder) {
  const char* names[] = {"TBoxKernel",      "TLinearKernel", "TCosineKernel",  "TSplineKernel", "TCubicKernel",
                         "TMitchellKernel", "TLanczosKernel", "TGaussianKernel", "TBlackmanKernel", "THannKernel",
                         "THammingKernel",  "TSinshKernel",  "THermiteKernel"};
  auto& list = KernelList();
  ASSERT_EQ(list.Count(), 13);
  for (int i = 0; i < 13; ++i) {
    EXPECT_EQ(list.Items(i)->ClassName, names[i]);
    EXPECT_EQ(list.Items(i)->Create()->ClassName(), names[i]);
  }
}
