// The product's bootstrapper and the Python interpreter, as far as the installer sees
// them: started with a command line and a working folder, which this notes and ends.
#include "Record.h"

int wmain() {
    standin::record();
    return 0;
}
