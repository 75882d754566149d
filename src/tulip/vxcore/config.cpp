#include "tulip/vxcore/config.h"

#include "vx/config/app.h"

namespace tulip::vxcore::config {

namespace {

const std::string& argument(const vx::Variant::List& args, std::size_t index) {
    if (index >= args.size()) {
        throw vx::TypeMismatch("Argument " + std::to_string(index) + " is missing");
    }
    return args[index].asString();
}

} // namespace

vx::Variant walk(const std::shared_ptr<vx::config::Config>& tree, const vx::Variant::List& args,
                 std::size_t firstKey) {
    std::shared_ptr<vx::config::ConfigBase> node = tree;
    for (std::size_t i = firstKey; i < args.size(); ++i) {
        node = node->get(args[i].asString());
    }
    return vx::Variant(node);
}

vx::Variant GetDesktopData(const vx::Variant::List& args, const external::proxy::Context&) {
    return walk(vx::config::app::GetDesktopData(), args, 0);
}

vx::Variant GetDesktopConfig(const vx::Variant::List& args, const external::proxy::Context&) {
    return walk(vx::config::app::GetDesktopConfig(), args, 0);
}

vx::Variant GetAppData(const vx::Variant::List& args, const external::proxy::Context&) {
    return walk(vx::config::app::GetAppData(argument(args, 0)), args, 1);
}

vx::Variant GetAppConfig(const vx::Variant::List& args, const external::proxy::Context&) {
    return walk(vx::config::app::GetAppConfig(argument(args, 0)), args, 1);
}

} // namespace tulip::vxcore::config
