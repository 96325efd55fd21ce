#pragma once
#include <filesystem>

namespace Orvane {

// The .NET host program: $DOTNET_ROOT's, else the per-user installation's, else
// the bare name for the search path.
std::filesystem::path FindDotnetHost();

} // namespace Orvane
