#pragma once
// Shared by the fuzz targets: the runtime's log lines go nowhere, so that a run
// prints only what libFuzzer reports.
#include <iostream>
#include <streambuf>

namespace OrvaneFuzz {

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

inline void SilenceLog() {
    static NullBuffer sink;
    std::cout.rdbuf(&sink);
    std::cerr.rdbuf(&sink);
}

} // namespace OrvaneFuzz
