#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "frame/IParam.h"

namespace {
std::string Display(const IParam& p, double v, bool normalized = false)
{
  char text[64];
  p.GetDisplayForHost(v, normalized, text, sizeof text);
  return text;
}
}  // namespace

TEST(IParam, DisplayPrecisionFollowsStep)
{
  IParam d, fine, coarse;
  d.InitDouble("d", 0.5, 0.0, 1.0, 0.001);
  fine.InitDouble("f", 0.0, 0.0, 1.0, 1.0 / 4800000.0);
  coarse.InitDouble("c", 2.0, 0.125, 10.0, 0.125);
  EXPECT_EQ(d.DisplayPrecision(), 3);
  EXPECT_EQ(fine.DisplayPrecision(), 6);
  EXPECT_EQ(coarse.DisplayPrecision(), 3);
  EXPECT_EQ(Display(d, 0.25), "0.250");
  IParam i;
  i.InitInt("i", 3, 0, 10);
  EXPECT_EQ(Display(i, 3.9), "3");
  EXPECT_EQ(Display(i, -2.7), "-2");
}

TEST(IParam, InitialisersKeepTheFirstType)
{
  IParam e, b;
  e.InitEnum("e", 1, 3);
  b.InitBool("b", true);
  EXPECT_EQ(e.Type(), IParam::kTypeEnum);
  EXPECT_EQ(e.Max(), 2.0);
  EXPECT_EQ(b.Type(), IParam::kTypeBool);
  EXPECT_EQ(b.Value(), 1.0);
  IParam single;
  single.InitEnum("one", 0, 1);
  EXPECT_EQ(single.Max(), 1.0) << "max is raised to min + step";
}

TEST(IParam, BoolTextsAndEmptyLabel)
{
  IParam b;
  b.InitDouble("x", 0, 0, 1, 1, "unit");
  b.InitBool("b", false);
  b.SetDisplayText(0, "shadowed");
  EXPECT_EQ(Display(b, 0), "off") << "the first record for a value wins";
  EXPECT_EQ(Display(b, 1), "on");
  EXPECT_STREQ(b.GetLabelForHost(), "");
}

TEST(IParam, DisplayTextFallsBackToNumber)
{
  IParam e;
  e.InitEnum("e", 0, 5);
  e.SetDisplayText(0, "low pass");
  e.SetDisplayText(2, "");
  EXPECT_EQ(Display(e, 0), "low pass");
  EXPECT_EQ(Display(e, 2), "2") << "an empty text falls through";
  EXPECT_EQ(Display(e, 3), "3");
  IParam d;
  d.InitDouble("speed", 0.999, 0.999, 500.0, 0.001);
  d.SetDisplayText(0, "auto");
  EXPECT_EQ(Display(d, 0.999), "auto");
  EXPECT_EQ(Display(d, 1.0), "1.000");
  EXPECT_EQ(Display(d, 0.0, true), "auto") << "normalised values are converted first";
}

TEST(IParam, NormalisedFormSteppingAndClamping)
{
  IParam i;
  i.InitInt("i", 0, 0, 4);
  i.SetNormalized(1.0);
  EXPECT_EQ(i.Value(), 4.0);
  i.SetNormalized(0.55);
  EXPECT_EQ(i.Value(), 2.0);
  i.Set(9);
  EXPECT_EQ(i.Value(), 4.0);
  i.Set(-9);
  EXPECT_EQ(i.Value(), 0.0);

  IParam d;
  d.InitDouble("d", 0.0, 0.0, 10.0, 0.001);
  d.SetShape(2.0);
  d.SetNormalized(0.5);
  EXPECT_DOUBLE_EQ(d.Value(), 2.5) << "doubles are not stepped";
  EXPECT_DOUBLE_EQ(d.GetNormalized(), 0.5);
  EXPECT_DOUBLE_EQ(d.GetNormalized(20.0), 1.0);
  d.SetNormalized(1.5);
  EXPECT_EQ(d.Value(), 10.0) << "clamped to max on the way in";
  d.SetNormalized(-0.5);
  EXPECT_EQ(d.Value(), 0.0) << "and to min, where the shape's power would give NaN";
  d.SetNormalized(std::nan(""));
  EXPECT_EQ(d.Value(), 0.0) << "a NaN changes nothing";
  i.SetNormalized(-3.0);
  EXPECT_EQ(i.Value(), 0.0);
}

TEST(IParam, TextsAreBoundedByTheOutputBuffer)
{
  IParam e;
  e.InitEnum("e", 0, 2);
  e.SetDisplayText(0, "a rather long text for a tiny buffer");
  char text[8];
  e.GetDisplayForHost(0, false, text, sizeof text);
  EXPECT_STREQ(text, "a rathe");
  IParam d;
  d.InitDouble("d", 0, -1e300, 1e300, 1.0);
  e.GetDisplayForHost(0, false, text, sizeof text);
  char big[16];
  d.GetDisplayForHost(1e300, false, big, sizeof big);
  EXPECT_EQ(std::string(big).size(), 15u) << "huge values stay inside the buffer";
}

TEST(IParam, MapDisplayText)
{
  IParam e;
  e.InitEnum("e", 0, 5);
  e.SetDisplayText(3, "peak");
  double v = -1;
  EXPECT_TRUE(e.MapDisplayText("peak", &v));
  EXPECT_EQ(v, 3);
  EXPECT_FALSE(e.MapDisplayText("Peak", &v));
}
