#pragma once
// How every tool meets its command line: --help (or -h) prints its usage
// and exits 0; an option it does not know is refused with its usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// Call first in main. `options` are the tool's own options; any other
// argument starting with '-' is refused.
inline void AnswerCommandLine(int argc, char** argv, const char* usage, std::initializer_list<const char*> options = {})
{
  for (int i = 1; i < argc; ++i)
  {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
    {
      std::fputs(usage, stdout);
      std::exit(0);
    }
  }
  for (int i = 1; i < argc; ++i)
  {
    if (argv[i][0] != '-' || argv[i][1] == '\0') continue;
    bool known = false;
    for (const char* option : options) known = known || std::strcmp(argv[i], option) == 0;
    if (known) continue;
    std::fprintf(stderr, "%s: unknown option '%s'\n%s", argv[0], argv[i], usage);
    std::exit(2);
  }
}
