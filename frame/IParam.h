#pragma once
// One automatable value: typed, ranged and named, with a power-law 0..1 form
// for the host and a value-to-text table for display.
#include <cstddef>
#include <cstdint>
#include <vector>

class IParam
{
public:
  enum EParamType { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

  static constexpr int kMaxDisplayPrecision = 6;
  static constexpr size_t kTextSize = 32;

  struct DisplayText
  {
    int32_t value;
    char text[kTextSize];
  };

  void InitBool(const char* name, bool defaultValue);
  void InitEnum(const char* name, int defaultValue, int count);
  void InitInt(const char* name, int defaultValue, int minVal, int maxVal);
  void InitDouble(const char* name, double defaultValue, double minVal, double maxVal, double step,
                  const char* label = "", const char* group = "", double shape = 1.0);

  void SetShape(double shape) { mShape = shape; }
  void SetDisplayText(int value, const char* text);
  void SetCanAutomate(bool canAutomate) { mCanAutomate = canAutomate; }
  void NegateDisplay() { mNegateDisplay = true; }

  void Set(double v);
  void SetNormalized(double normalized);
  double Value() const { return mValue; }
  int Int() const { return static_cast<int>(mValue); }
  bool Bool() const { return mValue >= 0.5; }
  double GetNormalized() const { return GetNormalized(mValue); }
  double GetNormalized(double v) const;
  // Real value reached from a normalised one, without clamping or stepping.
  double FromNormalized(double normalized) const;

  const char* GetNameForHost() const { return mName; }
  const char* GetLabelForHost() const;
  // Writes the text of v into out (at most outSize bytes, always terminated).
  void GetDisplayForHost(double v, bool isNormalized, char* out, size_t outSize,
                         bool withDisplayText = true) const;
  void GetDisplayForHost(char* out, size_t outSize, bool withDisplayText = true) const
  {
    GetDisplayForHost(mValue, false, out, outSize, withDisplayText);
  }

  // First non-empty display text for the value truncated toward zero, or nullptr.
  const char* GetDisplayTextForValue(double v) const;
  // Value of the first record whose text equals text exactly; false when none.
  bool MapDisplayText(const char* text, double* value) const;

  EParamType Type() const { return mType; }
  double Min() const { return mMin; }
  double Max() const { return mMax; }
  double Step() const { return mStep; }
  double Shape() const { return mShape; }
  double Default() const { return mDefault; }
  int DisplayPrecision() const { return mDisplayPrecision; }
  bool CanAutomate() const { return mCanAutomate; }
  bool DisplayIsNegated() const { return mNegateDisplay; }
  const char* Label() const { return mLabel; }
  const char* Group() const { return mGroup; }
  int NDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  const DisplayText& GetDisplayText(int i) const { return mDisplayTexts[static_cast<size_t>(i)]; }

private:
  EParamType mType = kTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  char mName[kTextSize] = {};
  char mLabel[kTextSize] = {};
  char mGroup[kTextSize] = {};
  bool mNegateDisplay = false;
  bool mCanAutomate = true;
  std::vector<DisplayText> mDisplayTexts;
};

// Copies src into dst of dstSize bytes, truncating and always terminating.
void CopyText(char* dst, size_t dstSize, const char* src);
