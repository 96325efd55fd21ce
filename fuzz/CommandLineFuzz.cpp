// The command line parser: the input is the argument list, arguments separated
// by NUL bytes (UTF-8 text or not).
#include "FuzzSupport.h"

#include "app/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    OrvaneFuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back().push_back(static_cast<char>(data[i]));
        }
    }
    const Orvane::CommandLine commandLine = Orvane::ParseCommandLine(arguments);
    if (commandLine.action == Orvane::CommandLineAction::Fail && commandLine.error.empty()) {
        __builtin_trap();   // a failure always names what is wrong
    }
    return 0;
}
