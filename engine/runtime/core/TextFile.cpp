#include "core/TextFile.h"

#include "core/Paths.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace Orvane {

std::string ReadTextFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::in | std::ios::binary);
    if (!stream) {
        throw std::runtime_error("Could not open file: " + PathToUtf8(path));
    }
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

} // namespace Orvane
