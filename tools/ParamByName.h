#pragma once
// Setting a plug-in's parameter by its name and a value as people write
// it, through the host side only (names and display texts): the name in
// any case, a number within the range the plug-in shows, or one of its
// display texts. What is wrong is said the way a user can act on.
#include <string>

class PluginHost;

// The parameter's index for a name in any case; -1 with a message (and a
// close name to suggest) when there is none.
int FindParamByName(PluginHost& host, const std::string& name, std::string* error);

// Sets NAME=VALUE; false with a message when it cannot be set.
bool SetParamByName(PluginHost& host, const std::string& assignment, std::string* error);

// A number as people write it: 1, 0.5, 65536, not 1.000000.
std::string PlainNumber(double v);
