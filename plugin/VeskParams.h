#pragma once
// The instrument's parameter table and the lists that describe it.
#include <array>

#include "editor/layout/ParamIds.h"

class IPlugBase;

// Parameters each voice keeps a value of its own for, in this order.
constexpr std::array<int, 44> kPerVoiceParams = {
  0, 1, 7, 6, 8, 11, 12, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 25, 34, 35, 36, 37,
  38, 39, 40, 41, 42, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 60, 61, 62};

// Parameters whose changes glide over a block once a state is loaded.
constexpr std::array<int, 15> kSmoothedParams = {8, 9, 19, 20, 34, 41, 47, 52, 53, 56, 58, 60, 61, 93, 94};

constexpr bool IsSmoothedParam(int idx)
{
  for (int p : kSmoothedParams)
    if (p == idx) return true;
  return false;
}

constexpr bool IsPerVoiceParam(int idx)
{
  for (int p : kPerVoiceParams)
    if (p == idx) return true;
  return false;
}

// Initialises every parameter: kinds and ranges, shapes, automation, texts.
void DefineVeskParams(IPlugBase& plug);
