// Prints the instrument's parameter table.
#include <cstdio>
#include <memory>

#include "plugin/Vesk.h"
#include "tools/ParamTable.h"

int main()
{
  std::unique_ptr<Vesk> plug(new Vesk(nullptr));
  if (!plug)
  {
    std::fprintf(stderr, "vesk-params: not enough memory for the instrument\n");
    return 1;
  }
  std::fputs(FormatParamTable(*plug).c_str(), stdout);
  return 0;
}
