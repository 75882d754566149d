#include "external/proxy/NamespaceResolver.h"

#include "runtime/Exception.h"
#include "vx/logger.h"

namespace external::proxy {

vx::Variant NamespaceDispatcher::call(Path path, const vx::Variant::List& args, const Context&) const {
    return target_->callPath(path, args);
}

vx::Variant FunctionDispatcher::call(Path, const vx::Variant::List& args, const Context& context) const {
    return target_(args, context);
}

vx::Variant DelegateDispatcher::call(Path, const vx::Variant::List& args, const Context& context) const {
    return target_(args, context);
}

template <class D, class T> void NamespaceResolver::registerMember(std::string name, T target) {
    const std::int32_t id = nextDispId_;
    namesById_[id] = name;
    auto dispatcher = std::make_unique<D>(id, std::move(target));
    auto found = dispatchersByName_.find(name);
    if (found != dispatchersByName_.end()) {
        found->second = std::move(dispatcher);
    } else {
        dispatchersByName_.emplace(std::move(name), std::move(dispatcher));
    }
    ++nextDispId_;
}

void NamespaceResolver::addNamespace(std::string name, std::shared_ptr<NamespaceResolver> child) {
    registerMember<NamespaceDispatcher>(std::move(name), std::move(child));
}

void NamespaceResolver::addFunction(std::string name, NativeFunction function) {
    registerMember<FunctionDispatcher>(std::move(name), function);
}

void NamespaceResolver::addDelegate(std::string name, Delegate delegate) {
    registerMember<DelegateDispatcher>(std::move(name), std::move(delegate));
}

vx::Variant NamespaceResolver::callPath(Path path, const vx::Variant::List& args) const noexcept {
    if (path.empty() || path[0] != name_) {
        return {};
    }
    try {
        if (path.size() < 2) {
            throw runtime::Exception("The path " + name_ + " names a namespace, not a function");
        }
        const BaseDispatcher* member = dispatcher(path[1]);
        if (member == nullptr) {
            throw runtime::Exception("No member " + path[1] + " in " + name_);
        }
        return member->call(path.subspan(1), args, context_);
    } catch (...) {
        // Logging may itself fail (out of memory); the movie still gets its null.
        try {
            vx::logger::info("Caught an Exception resolving a tulip call and now returning null");
        } catch (...) {
        }
        return {};
    }
}

const BaseDispatcher* NamespaceResolver::dispatcher(std::string_view name) const {
    auto found = dispatchersByName_.find(name);
    return found == dispatchersByName_.end() ? nullptr : found->second.get();
}

const std::string* NamespaceResolver::memberName(std::int32_t dispId) const {
    auto found = namesById_.find(dispId);
    return found == namesById_.end() ? nullptr : &found->second;
}

} // namespace external::proxy
