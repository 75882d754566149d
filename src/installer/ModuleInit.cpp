#include "installer/ModuleInit.h"

#include "runtime/Exception.h"

namespace installer {

ModuleInit::ModuleInit() {
    if (FAILED(com_.result())) {
        throw runtime::Exception("COM could not be initialised");
    }
}

ModuleInit::~ModuleInit() = default;

} // namespace installer
