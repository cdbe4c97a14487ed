// The flight may not include what is read: through the flight library's include root this include
// must not be found.
#include "input/text_lines.h"
