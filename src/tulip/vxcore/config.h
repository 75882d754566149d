// "tulip.vxcore.config": the product's configuration trees, walked by keys.
//   GetDesktopData(keys...), GetDesktopConfig(keys...)
//   GetAppData(app, keys...), GetAppConfig(app, keys...)
// Each answers the node reached from the tree's root through the keys, in order (the
// whole tree without keys), as a configuration-node value. A key the section does
// not hold, a key met on a value, an argument that is not a string and a file that
// cannot be read throw, and the path call answers null.
#pragma once

#include "external/proxy/NamespaceResolver.h"
#include "vx/config/Config.h"

#include <cstddef>
#include <memory>

namespace tulip::vxcore::config {

// The node reached from `tree` by the string arguments from `firstKey` on.
vx::Variant walk(const std::shared_ptr<vx::config::Config>& tree, const vx::Variant::List& args,
                 std::size_t firstKey);

vx::Variant GetDesktopData(const vx::Variant::List& args, const external::proxy::Context& context);
vx::Variant GetDesktopConfig(const vx::Variant::List& args,
                             const external::proxy::Context& context);
vx::Variant GetAppData(const vx::Variant::List& args, const external::proxy::Context& context);
vx::Variant GetAppConfig(const vx::Variant::List& args, const external::proxy::Context& context);

} // namespace tulip::vxcore::config
