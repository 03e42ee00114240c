#pragma once
// The faces compiled into the library ("TTF" resources), registered once
// for the whole process before the first editor draws: Roboto Mono, which
// no system ships, and an open face that stands in for "Verdana" where the
// system has none.
void RegisterEmbeddedFonts();
