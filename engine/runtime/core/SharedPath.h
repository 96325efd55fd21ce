#pragma once
#include <filesystem>
#include <memory>
#include <ostream>
#include <utility>

namespace Orvane {

// An immutable path held by reference. A frame's sprites mostly name the same
// few files, and copying a std::filesystem::path allocates once for its text
// and once for each of its components; copying this is one reference count.
class SharedPath {
public:
    SharedPath() = default;
    SharedPath(std::filesystem::path path) // NOLINT(google-explicit-constructor):
                                           // stands in for a path
        : shared(std::make_shared<const std::filesystem::path>(std::move(path))) {}
    SharedPath(const char* text) : SharedPath(std::filesystem::path(text)) {} // NOLINT(google-explicit-constructor)

    const std::filesystem::path& Get() const { return shared ? *shared : Empty(); }
    operator const std::filesystem::path&() const { return Get(); } // NOLINT(google-explicit-constructor)
    std::filesystem::path filename() const { return Get().filename(); }

    friend bool operator==(const SharedPath& a, const SharedPath& b) { return a.Get() == b.Get(); }
    friend bool operator==(const SharedPath& a, const std::filesystem::path& b) { return a.Get() == b; }
    friend std::ostream& operator<<(std::ostream& out, const SharedPath& path) { return out << path.Get(); }

private:
    static const std::filesystem::path& Empty() {
        static const std::filesystem::path empty;
        return empty;
    }
    std::shared_ptr<const std::filesystem::path> shared;
};

} // namespace Orvane
