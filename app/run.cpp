#include "app/run.h"

namespace trevan {

int run(HINSTANCE, const char*) { return 0; }

}  // namespace trevan
