// What is read lies below what is written: through the input library's include root the flight's
// headers are found and this include of the output is not.
#include "flight/parameters.h"
#include "input/param_file.h"
#include "output/file_sink.h"
