#include "installer/ModuleInit.h"

#include "runtime/Exception.h"
#include "vx/config/app.h"

namespace installer {

ModuleInit::ModuleInit() {
    if (FAILED(com_.result())) {
        throw runtime::Exception("COM could not be initialised");
    }
    vx::config::app::initialise();
}

ModuleInit::~ModuleInit() = default;

} // namespace installer
