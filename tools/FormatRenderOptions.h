#pragma once
// The options our hosts for the other formats share with each other: they
// render what vesk-render renders, through a bundle instead of a library.
#include <algorithm>
#include <cstdlib>
#include <string>

struct FormatRenderOptions
{
  std::string bundle, in, out, midi, state, saveState;
  int block = 512;
  double tail = 1.0;

  // Takes one of the shared options and its value; false when `flag` is none of them.
  bool Take(const std::string& flag, const std::string& value)
  {
    if (flag == "--bundle") bundle = value;
    else if (flag == "--in") in = value;
    else if (flag == "--out") out = value;
    else if (flag == "--midi") midi = value;
    else if (flag == "--state") state = value;
    else if (flag == "--save-state") saveState = value;
    else if (flag == "--block") block = std::clamp(std::atoi(value.c_str()), 1, 65536);
    else if (flag == "--tail") tail = std::atof(value.c_str());
    else return false;
    return true;
  }
};
