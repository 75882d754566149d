// The tree of named native functions that the movie calls by dotted names such as
// "tulip.vxcore.install.DoMetaInstall".
//
// A namespace has a name and a table of members; each member is a child namespace or a
// native function, and gets the next member id (from 1) when it is registered, so the
// order of registration fixes the ids that the automation face hands out. Concrete
// namespaces only add a constructor that sets the context and the name and registers
// their members; a tree never changes after its root's constructor returns.
//
// The path call is the way in for the movie host: it never throws, and answers an empty
// Variant for everything that did not reach a function. The COM automation face over a
// namespace lives in external/proxy/DispatchFace (Windows only).
//
// A tree is built, called and dropped on one thread; nothing here is locked.
#pragma once

#include "vx/Variant.h"
#include "vx/application/ApplicationInterfaces.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace external::proxy {

using Context = std::shared_ptr<vx::application::IVXApplication>;
// A native function: the call's arguments (positional, not counted) and the
// namespace's application object in, one value out. Errors are thrown.
using NativeFunction = vx::Variant (*)(const vx::Variant::List& args, const Context& context);
// A bound method of the same shape.
using Delegate = std::function<vx::Variant(const vx::Variant::List& args, const Context& context)>;
// The dotted name split at ".".
using Path = std::span<const std::string>;

class NamespaceResolver;

class BaseDispatcher {
public:
    explicit BaseDispatcher(std::int32_t dispId) : dispId_(dispId) {}
    virtual ~BaseDispatcher() = default;

    std::int32_t dispId() const noexcept { return dispId_; }

    // What the path call does with the member; `path` starts at the member's own name.
    virtual vx::Variant call(Path path, const vx::Variant::List& args, const Context& context) const = 0;

    // What the automation face needs to know: the child namespace, or the function it
    // may call with converted arguments. Null for members the face answers as empty.
    virtual std::shared_ptr<NamespaceResolver> child() const { return nullptr; }
    virtual NativeFunction function() const { return nullptr; }

private:
    std::int32_t dispId_;
};

// A child namespace: the call goes on down the path.
class NamespaceDispatcher : public BaseDispatcher {
public:
    NamespaceDispatcher(std::int32_t dispId, std::shared_ptr<NamespaceResolver> target)
        : BaseDispatcher(dispId), target_(std::move(target)) {}

    vx::Variant call(Path path, const vx::Variant::List& args, const Context& context) const override;
    std::shared_ptr<NamespaceResolver> child() const override { return target_; }

private:
    std::shared_ptr<NamespaceResolver> target_;
};

// A native function: parts of the path after its own name are ignored.
class FunctionDispatcher : public BaseDispatcher {
public:
    FunctionDispatcher(std::int32_t dispId, NativeFunction target)
        : BaseDispatcher(dispId), target_(target) {}

    vx::Variant call(Path path, const vx::Variant::List& args, const Context& context) const override;
    NativeFunction function() const override { return target_; }

private:
    NativeFunction target_;
};

// A bound method; the automation face answers it as empty.
class DelegateDispatcher : public BaseDispatcher {
public:
    DelegateDispatcher(std::int32_t dispId, Delegate target)
        : BaseDispatcher(dispId), target_(std::move(target)) {}

    vx::Variant call(Path path, const vx::Variant::List& args, const Context& context) const override;

private:
    Delegate target_;
};

class NamespaceResolver {
public:
    NamespaceResolver() = default;
    NamespaceResolver(const NamespaceResolver&) = delete;
    NamespaceResolver& operator=(const NamespaceResolver&) = delete;
    virtual ~NamespaceResolver() = default;

    const std::string& name() const noexcept { return name_; }
    const Context& context() const noexcept { return context_; }
    void setContext(Context context) { context_ = std::move(context); }

    // Register a member under the next id. A name registered again gets the new
    // dispatcher; both ids then name the same member.
    void addNamespace(std::string name, std::shared_ptr<NamespaceResolver> child);
    void addFunction(std::string name, NativeFunction function);
    void addDelegate(std::string name, Delegate delegate);

    // `path[0]` must be this namespace's name, else the result is empty and nothing is
    // logged. Otherwise the member `path[1]` is called with the rest of the path; when
    // there is no such part or member, or the call throws, the line "Caught an
    // Exception resolving a tulip call and now returning null" is logged and the
    // result is empty. Never throws.
    vx::Variant callPath(Path path, const vx::Variant::List& args) const noexcept;

    // For the automation face: the member of a name or id; null when there is none.
    const BaseDispatcher* dispatcher(std::string_view name) const;
    const std::string* memberName(std::int32_t dispId) const;

protected:
    void setName(std::string name) { name_ = std::move(name); }

private:
    template <class D, class T> void registerMember(std::string name, T target);

    std::string name_;
    std::int32_t nextDispId_ = 1;
    std::map<std::int32_t, std::string> namesById_;
    std::map<std::string, std::unique_ptr<BaseDispatcher>, std::less<>> dispatchersByName_;
    Context context_;
};

} // namespace external::proxy
