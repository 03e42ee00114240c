#pragma once
// One line per parameter: index, name, kind, range, default, step, shape and
// the display of the default value, tab-separated.
#include <string>

class IPlugBase;

std::string FormatParamTable(IPlugBase& plug);
