#include "tools/ParamByName.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/PluginHost.h"

namespace {

std::string Lower(std::string s)
{
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

size_t EditDistance(const std::string& a, const std::string& b)
{
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i)
  {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j)
    {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool IsNumber(const std::string& text, double* v)
{
  char* end = nullptr;
  *v = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' && std::isfinite(*v);
}

// What a parameter shows across its range: its texts in value order, the
// numbers among them and the words.
struct Shown
{
  std::vector<std::string> texts, words;
  bool anyNumber = false;
  double lo = INFINITY, hi = -INFINITY;
};

Shown Survey(PluginHost& host, int idx)
{
  Shown s;
  const float saved = host.GetParameter(idx);
  for (int k = 0; k <= 128; ++k)
  {
    host.SetParameter(idx, k / 128.0f);
    const std::string text = host.ParamDisplay(idx);
    if (!s.texts.empty() && s.texts.back() == text) continue;
    s.texts.push_back(text);
    double v;
    if (IsNumber(text, &v))
      s.anyNumber = true, s.lo = std::min(s.lo, v), s.hi = std::max(s.hi, v);
    else if (std::find(s.words.begin(), s.words.end(), text) == s.words.end())
      s.words.push_back(text);
  }
  host.SetParameter(idx, saved);
  return s;
}

std::string Join(const std::vector<std::string>& texts, const char* last)
{
  std::string all;
  for (size_t i = 0; i < texts.size(); ++i)
    all += (i == 0 ? "" : i + 1 == texts.size() ? last : ", ") + texts[i];
  return all;
}

// What the parameter takes, as a user reads it.
std::string Wants(const std::string& name, const Shown& s)
{
  if (!s.anyNumber) return "'" + name + "' is one of " + Join(s.words, " or ");
  std::string wants = "'" + name + "' wants a number from " + PlainNumber(s.lo) + " to " + PlainNumber(s.hi);
  return s.words.empty() ? wants : wants + ", or " + Join(s.words, " or ");
}

// The displayed number of a parameter at a normalised position; a word
// counts as below every number (words stand at the low end, like "auto").
double ShownAt(PluginHost& host, int idx, float normalized)
{
  host.SetParameter(idx, normalized);
  double v;
  return IsNumber(host.ParamDisplay(idx), &v) ? v : -INFINITY;
}

// The normalised position that shows the wanted number (the display is
// monotonic); false when none shows it to its precision.
bool SearchNumber(PluginHost& host, int idx, double wanted)
{
  float lo = 0.0f, hi = 1.0f;
  for (int i = 0; i < 40; ++i)
  {
    const float mid = 0.5f * (lo + hi);
    (ShownAt(host, idx, mid) < wanted ? lo : hi) = mid;
  }
  const double shown = ShownAt(host, idx, hi);
  char want[64], got[64];
  std::snprintf(want, sizeof want, "%.3f", wanted);
  std::snprintf(got, sizeof got, "%.3f", shown);
  return std::fabs(shown - wanted) <= 1e-3 + std::fabs(wanted) * 1e-6 || std::strcmp(want, got) == 0;
}

bool Typed(PluginHost& host, int idx, const std::string& text)
{
  std::string typed = text;
  return host.Dispatch(vst2::effString2Parameter, idx, 0, typed.data()) == 1;
}

}  // namespace

std::string PlainNumber(double v)
{
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", v);
  return text;
}

int FindParamByName(PluginHost& host, const std::string& name, std::string* error)
{
  const std::string wanted = Lower(name);
  std::string closest;
  size_t distance = SIZE_MAX;
  for (int i = 0; i < host.NumParams(); ++i)
  {
    const std::string candidate = host.ParamName(i);
    if (Lower(candidate) == wanted) return i;
    if (const size_t d = EditDistance(Lower(candidate), wanted); d < distance) distance = d, closest = candidate;
  }
  *error = "unknown parameter '" + name + "'";
  if (distance <= std::max<size_t>(2, wanted.size() / 3)) *error += "; did you mean '" + closest + "'?";
  else *error += " (vesk-params lists them)";
  return -1;
}

bool SetParamByName(PluginHost& host, const std::string& assignment, std::string* error)
{
  const size_t eq = assignment.find('=');
  if (eq == std::string::npos) return (*error = "--set wants NAME=VALUE, not '" + assignment + "'"), false;
  const std::string text = assignment.substr(eq + 1);
  const int idx = FindParamByName(host, assignment.substr(0, eq), error);
  if (idx < 0) return false;
  const std::string name = host.ParamName(idx);
  const Shown shown = Survey(host, idx);
  double wanted = 0.0;
  const bool numeric = IsNumber(text, &wanted);
  auto refuse = [&] { return (*error = Wants(name, shown) + ", not '" + text + "'"), false; };
  const double tolerance = 1e-9 + std::fabs(wanted) * 1e-6;
  if (numeric && shown.anyNumber && (wanted < shown.lo - tolerance || wanted > shown.hi + tolerance)) return refuse();
  // The plug-in reads the text itself where it can: a number exactly, or one of its texts.
  if (Typed(host, idx, text)) return true;
  for (const std::string& word : shown.words)
    if (Lower(word) == Lower(text)) return Typed(host, idx, word) || refuse();
  if (!numeric) return refuse();
  if (!shown.anyNumber)
  {
    // Named values only: a whole number picks the value at that position.
    if (wanted != std::floor(wanted) || wanted < 0 || wanted >= static_cast<double>(shown.words.size())) return refuse();
    return Typed(host, idx, shown.words[static_cast<size_t>(wanted)]) || refuse();
  }
  return SearchNumber(host, idx, wanted) || refuse();
}
