// The flight may not include its output: through the flight library's include root this include
// must not be found.
#include "output/file_sink.h"
