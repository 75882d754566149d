// The whole path of one movie call, as the host runs it on its window thread: decode
// the request, build the name tree for the call, split the name and resolve it, write
// the reply. Log lines go to a sink that drops them, so the figure is the bridge's own
// work, not the debugger channel's.
//
// Prints one line per round and, last, the best round as "bridge: N calls/s".
#include "external/ExternalInterfaceSerializer.h"
#include "runtime/Strings.h"
#include "support/DroppedLog.h"
#include "support/FakeApplication.h"
#include "tulip/TulipNamespace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A call with a string, a number and a small object, answered with a string.
constexpr const char* kRequest =
    "<invoke name=\"tulip.GetAppName\" returntype=\"xml\"><arguments>"
    "<string>Brivola Search &amp; Toolbar</string>"
    "<number>42</number>"
    "<object><property id=\"silent\"><true/></property>"
    "<property id=\"dir\"><string>C:\\Program Files\\Brivola</string></property></object>"
    "</arguments></invoke>";

using testing_support::FakeApplication;

std::size_t oneCall(const std::shared_ptr<FakeApplication>& application) {
    const external::ExternalInterfaceCall call = external::deserializeCall(kRequest);
    const tulip::TulipNamespace root(application);
    const std::vector<std::string> path = runtime::split(call.getFunctionName(), '.');
    const vx::Variant result = root.callPath(path, call.getArguments());
    return external::serializeReturn(result).size();
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const testing_support::DroppedLog drop;
    auto application = std::make_shared<FakeApplication>();

    if (oneCall(application) != std::string("<string>VXInstaller</string>").size()) {
        std::fprintf(stderr, "bench_bridge: unexpected reply\n");
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    double best = 0;
    std::size_t sink = 0;
    for (int round = 0; round < rounds; ++round) {
        long calls = 0;
        const auto start = Clock::now();
        const auto end = start + std::chrono::duration<double>(seconds);
        auto now = start;
        while (now < end) {
            for (int i = 0; i < 256; ++i) {
                sink += oneCall(application);
            }
            calls += 256;
            now = Clock::now();
        }
        const double rate = calls / std::chrono::duration<double>(now - start).count();
        std::printf("round %d: %.0f calls/s\n", round + 1, rate);
        best = rate > best ? rate : best;
    }
    std::printf("bridge: %.0f calls/s\n", best);
    return sink == 0;
}
