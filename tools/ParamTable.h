#pragma once
// One line per parameter: index, name, kind, range, default, step, shape, the
// display of the default value and the table's flags, tab-separated.
#include <string>

class IPlugBase;

std::string FormatParamTable(IPlugBase& plug);
