// Compares two WAV files sample by sample:
//   wav-compare A.wav B.wav TOLERANCE
// prints the largest difference and exits 0 when it is within TOLERANCE
// (0 asks for bit-identical samples), 1 when not, 2 when the files cannot be
// compared.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/Audio.h"

int main(int argc, char** argv)
{
  if (argc != 4)
  {
    std::fprintf(stderr, "usage: wav-compare A.wav B.wav TOLERANCE\n");
    return 2;
  }
  StereoAudio a, b;
  std::string error;
  if (!ReadAudio(argv[1], &a, &error) || !ReadAudio(argv[2], &b, &error))
  {
    std::fprintf(stderr, "wav-compare: %s\n", error.c_str());
    return 2;
  }
  if (a.Frames() != b.Frames() || a.sampleRate != b.sampleRate)
  {
    std::fprintf(stderr, "wav-compare: %zu frames at %g Hz against %zu frames at %g Hz\n", a.Frames(), a.sampleRate,
                 b.Frames(), b.sampleRate);
    return 2;
  }
  const double tolerance = std::strtod(argv[3], nullptr);
  double largest = 0.0;
  size_t differing = 0;
  for (size_t f = 0; f < a.Frames(); ++f)
    for (double d : {std::fabs(a.left[f] - b.left[f]), std::fabs(a.right[f] - b.right[f])})
    {
      largest = std::fmax(largest, d);
      if (d > 0.0) ++differing;
    }
  std::printf("%zu frames, %zu samples differ, largest difference %.3g\n", a.Frames(), differing, largest);
  return largest <= tolerance ? 0 : 1;
}
