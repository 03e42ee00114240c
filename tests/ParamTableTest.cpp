// The parameter table as the host sees it, written out by hand and compared
// with what the table tool prints, so a typo in a name or range shows.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/Vesk.h"
#include "tests/ExpectedParams.h"
#include "tools/ParamTable.h"

namespace {

std::vector<std::string> Split(const std::string& line, char sep)
{
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, sep)) fields.push_back(field);
  return fields;
}

std::vector<std::string> Lines(const std::string& text)
{
  return Split(text, '\n');
}

bool Near(const std::string& a, const std::string& b)
{
  const double x = std::stod(a), y = std::stod(b);
  return std::fabs(x - y) <= 1e-9 * std::max(1.0, std::fabs(y));
}

}  // namespace

TEST(ParamTable, ToolOutputMatchesTheHandWrittenTable)
{
  std::unique_ptr<Vesk> plug(new Vesk());
  const std::vector<std::string> dumped = Lines(FormatParamTable(*plug));
  const std::vector<std::string> expected = Lines(kExpected);
  ASSERT_EQ(expected.size(), 113u);
  ASSERT_EQ(dumped.size(), 114u) << "a header and 113 rows";
  for (size_t i = 0; i < expected.size(); ++i)
  {
    const auto want = Split(expected[i], '|');
    const auto got = Split(dumped[i + 1], '\t');
    ASSERT_EQ(want.size(), 8u) << expected[i];
    ASSERT_GE(got.size(), 10u) << dumped[i + 1];
    SCOPED_TRACE("parameter " + std::to_string(i));
    EXPECT_EQ(got[0], std::to_string(i));
    EXPECT_EQ(got[1], "\"" + want[0] + "\"");
    EXPECT_EQ(got[2], want[1]);
    for (int f = 2; f <= 6; ++f) EXPECT_TRUE(Near(got[static_cast<size_t>(f + 1)], want[static_cast<size_t>(f)]))
      << "field " << f << ": " << got[static_cast<size_t>(f + 1)] << " vs " << want[static_cast<size_t>(f)];
    EXPECT_EQ(got[8], want[7]);
  }
  EXPECT_EQ(Split(dumped[1], '\t').back(), "0=note mode; 1=beat mode; 2=simple mode") << "every display text";
  EXPECT_EQ(Split(dumped[1 + kFltType], '\t').back(),
            "0=low pass; 2=high pass; 1=band pass; 4=band reject; 3=peak");
}

TEST(ParamTable, OnlyTheTooltipSwitchIsNotAutomatable)
{
  std::unique_ptr<Vesk> plug(new Vesk());
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(plug->GetParam(i)->CanAutomate(), i != kShowTooltips) << i;
}

// The table's flags as the instrument has always had them: the smoothed
// parameters (with "request picked buf" on their route, doing nothing), the
// 44 each voice keeps, and the three without a MIDI learn menu.
TEST(ParamTable, FlagsMatchTheLists)
{
  const std::vector<int> smoothed = {8, 9, 19, 20, 33, 34, 41, 47, 52, 53, 56, 58, 60, 61, 93, 94};
  const std::vector<int> perVoice = {0,  1,  6,  7,  8,  11, 12, 14, 15, 16, 17, 18, 19, 20, 21,
                                     22, 23, 25, 34, 35, 36, 37, 38, 39, 40, 41, 42, 45, 46, 47,
                                     48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 60, 61, 62};
  std::vector<int> gotSmoothed, unlearnable;
  for (int i = 0; i < kNumParams; ++i)
  {
    if (VeskParam(i).Smoothed()) gotSmoothed.push_back(i);
    if (!VeskParam(i).learnable) unlearnable.push_back(i);
  }
  EXPECT_EQ(gotSmoothed, smoothed);
  EXPECT_EQ(PerVoiceParams(), perVoice);
  EXPECT_EQ(unlearnable, (std::vector<int>{kShowTooltips, kBufMinVisible, kBufMaxVisible}));
  EXPECT_EQ(VeskParam(kRequestPicked).apply, nullptr);
}

TEST(ParamTable, ShadowedBoolTextsAreKeptBehindOffOn)
{
  std::unique_ptr<Vesk> plug(new Vesk());
  const IParam* fltOn = plug->GetParam(kFltOn);
  ASSERT_EQ(fltOn->NDisplayTexts(), 4);
  EXPECT_STREQ(fltOn->GetDisplayText(2).text, "off");
  const IParam* preserve = plug->GetParam(kPreservePos);
  ASSERT_EQ(preserve->NDisplayTexts(), 4);
  EXPECT_STREQ(preserve->GetDisplayText(2).text, "preserve");
  EXPECT_EQ(preserve->GetDisplayText(2).value, 1);
  char text[32];
  preserve->GetDisplayForHost(0.0, false, text, sizeof text);
  EXPECT_STREQ(text, "off");
  const IParam* freak = plug->GetParam(kControlFreak);
  freak->GetDisplayForHost(1.0, false, text, sizeof text);
  EXPECT_STREQ(text, "on");
  EXPECT_STREQ(freak->GetDisplayText(2).text, "you control freak");
}

TEST(ParamTable, PassTypeTextsAndAutoSpeed)
{
  std::unique_ptr<Vesk> plug(new Vesk());
  const char* const names[] = {"low pass", "band pass", "high pass", "peak", "band reject"};
  char text[32];
  for (int t = 0; t < 5; ++t)
  {
    plug->GetParam(kFltType)->GetDisplayForHost(t, false, text, sizeof text);
    EXPECT_STREQ(text, names[t]);
  }
  plug->GetParam(kAgcSpeed)->GetDisplayForHost(0.9995, false, text, sizeof text);
  EXPECT_STREQ(text, "auto");
  plug->GetParam(kAgcSpeed)->GetDisplayForHost(1.0, false, text, sizeof text);
  EXPECT_STREQ(text, "1.000");
}
