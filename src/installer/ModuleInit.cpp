#include "installer/ModuleInit.h"

#include "finboxdynamic.h"
#include "runtime/Exception.h"
#include "vx/config/app.h"

namespace installer {

ModuleInit::ModuleInit() {
    if (FAILED(com_.result())) {
        throw runtime::Exception("COM could not be initialised");
    }
    vx::config::app::initialise();
    finboxdynamic::initialise();
}

ModuleInit::~ModuleInit() {
    finboxdynamic::cleanUp();
}

} // namespace installer
