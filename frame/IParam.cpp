#include "frame/IParam.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

void CopyText(char* dst, size_t dstSize, const char* src)
{
  if (!dst || dstSize == 0) return;
  if (!src) src = "";
  size_t n = std::strlen(src);
  if (n >= dstSize) n = dstSize - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

void IParam::InitBool(const char* name, bool defaultValue)
{
  if (mType == kTypeNone) mType = kTypeBool;
  InitEnum(name, defaultValue ? 1 : 0, 2);
  SetDisplayText(0, "off");
  SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultValue, int count)
{
  if (mType == kTypeNone) mType = kTypeEnum;
  InitInt(name, defaultValue, 0, count - 1);
}

void IParam::InitInt(const char* name, int defaultValue, int minVal, int maxVal)
{
  if (mType == kTypeNone) mType = kTypeInt;
  InitDouble(name, defaultValue, minVal, maxVal, 1.0, "", "", 1.0);
}

static int PrecisionOfStep(double step)
{
  int precision = 0;
  while (precision < IParam::kMaxDisplayPrecision && step != std::floor(step))
  {
    ++precision;
    step *= 10.0;
  }
  return precision;
}

void IParam::InitDouble(const char* name, double defaultValue, double minVal, double maxVal, double step,
                        const char* label, const char* group, double shape)
{
  if (mType == kTypeNone) mType = kTypeDouble;
  CopyText(mName, sizeof mName, name);
  CopyText(mLabel, sizeof mLabel, label);
  CopyText(mGroup, sizeof mGroup, group);
  mValue = defaultValue;
  mMin = minVal;
  mMax = std::max(maxVal, minVal + step);
  mStep = step;
  mDefault = defaultValue;
  mDisplayPrecision = PrecisionOfStep(step);
  if (shape != 0.0) mShape = shape;
}

void IParam::SetDisplayText(int value, const char* text)
{
  if (mDisplayTexts.capacity() == mDisplayTexts.size())
    mDisplayTexts.reserve(mDisplayTexts.size() + 4096 / sizeof(DisplayText));
  DisplayText record{};
  record.value = value;
  CopyText(record.text, sizeof record.text, text);
  mDisplayTexts.push_back(record);
}

void IParam::Set(double v)
{
  mValue = v < mMin ? mMin : std::min(mMax, v);
}

double IParam::FromNormalized(double normalized) const
{
  return std::pow(normalized, mShape) * (mMax - mMin) + mMin;
}

// A host may send anything: a value outside 0..1 is taken at the nearer end,
// so the result stays in range (a negative one would, through the shape's
// power, even come out as NaN), and a NaN leaves the value as it was.
void IParam::SetNormalized(double normalized)
{
  if (std::isnan(normalized)) return;
  double v = FromNormalized(std::clamp(normalized, 0.0, 1.0));
  if (mType != kTypeDouble) v = std::floor(v / mStep + 0.5) * mStep;
  mValue = std::min(v, mMax);
}

double IParam::GetNormalized(double v) const
{
  v = std::clamp(v, mMin, mMax);
  return std::pow((v - mMin) / (mMax - mMin), 1.0 / mShape);
}

// Truncation toward zero as an int, safe for values outside the int range.
static bool TruncToInt(double v, int* out)
{
  if (!(v > -2147483649.0 && v < 2147483648.0)) return false;
  *out = static_cast<int>(v);
  return true;
}

const char* IParam::GetDisplayTextForValue(double v) const
{
  int key = 0;
  if (!TruncToInt(v, &key)) return nullptr;
  for (const DisplayText& record : mDisplayTexts)
    if (record.value == key) return record.text[0] ? record.text : nullptr;
  return nullptr;
}

bool IParam::MapDisplayText(const char* text, double* value) const
{
  for (const DisplayText& record : mDisplayTexts)
    if (std::strcmp(record.text, text) == 0)
    {
      *value = record.value;
      return true;
    }
  return false;
}

const char* IParam::GetLabelForHost() const
{
  return GetDisplayTextForValue(mValue) ? "" : mLabel;
}

void IParam::GetDisplayForHost(double v, bool isNormalized, char* out, size_t outSize,
                               bool withDisplayText) const
{
  if (!out || outSize == 0) return;
  if (isNormalized) v = FromNormalized(v);
  if (withDisplayText && !mDisplayTexts.empty())
    if (const char* text = GetDisplayTextForValue(v))
    {
      CopyText(out, outSize, text);
      return;
    }
  if (mNegateDisplay) v = -v;
  if (mDisplayPrecision == 0)
  {
    int whole = 0;
    if (TruncToInt(v, &whole))
      std::snprintf(out, outSize, "%d", whole);
    else
      std::snprintf(out, outSize, "%.0f", std::trunc(v));
  }
  else
    std::snprintf(out, outSize, "%.*f", mDisplayPrecision, v);
}
