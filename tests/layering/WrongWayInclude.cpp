// Compiled with a library's include roots and a header it must not see
// (VESK_FORBIDDEN): the build has to fail for want of that header.
#include VESK_FORBIDDEN
