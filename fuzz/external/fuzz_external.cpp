// Fuzz target for decoding the movie's requests. Any bytes must give a decoded call or a
// runtime::Exception; a decoded call is then resolved through the real name tree and
// its reply written, as the host does. Strings must survive a write and a read
// unchanged (those holding a CR LF excepted: the format trims around it on purpose).
// Anything else escapes or aborts so that the fuzzer reports it.
#include "external/ExternalInterfaceSerializer.h"
#include "runtime/Exception.h"
#include "runtime/Strings.h"
#include "support/DroppedLog.h"
#include "support/FakeApplication.h"
#include "tulip/TulipNamespace.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_external: %s\n%s\n", what, detail.c_str());
    std::abort();
}

void checkStringsRoundTrip(const vx::Variant::List& arguments) {
    for (const vx::Variant& argument : arguments) {
        if (!argument.is(vx::Variant::Kind::String) ||
            argument.asString().find("\r\n") != std::string::npos) {
            continue;
        }
        const std::string written = external::serializeCall("f", {argument});
        std::string reread;
        try {
            reread = external::deserializeCall(written).getArguments().at(0).asString();
        } catch (const runtime::Exception& error) {
            fail("a written string does not read back", error.message() + "\n" + written);
        }
        if (reread != argument.asString()) {
            fail("a string changed on its way through the format", written);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const testing_support::DroppedLog silent;
    const std::string_view request(reinterpret_cast<const char*>(data), size);

    try {
        const external::ExternalInterfaceCall call = external::deserializeCall(request);
        (void)call.toString();
        checkStringsRoundTrip(call.getArguments());

        const tulip::TulipNamespace root(std::make_shared<testing_support::FakeApplication>());
        const std::vector<std::string> path = runtime::split(call.getFunctionName(), '.');
        const vx::Variant result = root.callPath(path, call.getArguments());
        (void)external::serializeReturn(result);
        for (const vx::Variant& argument : call.getArguments()) {
            (void)external::serializeReturn(argument);
        }
    } catch (const runtime::Exception&) {
        // A refused request is a correct answer: the host replies null.
    }
    return 0;
}
