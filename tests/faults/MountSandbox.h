#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace hourlink::testing {

// Moves the process into a mount namespace of its own whose mounts stay private, so the file systems
// the fault tests mount vanish with the process and nobody else sees them. Only root may do this, and
// only while the process has a single thread; call it first thing in main. True when it worked.
bool EnterPrivateMountNamespace();

// Whether EnterPrivateMountNamespace succeeded, that is whether a test may mount.
[[nodiscard]] bool MountsAllowed();

// Why EnterPrivateMountNamespace failed: the step and the system's error; empty when it worked.
[[nodiscard]] std::string MountsRefusedBecause();

// A small tmpfs mounted over a fresh folder inside the current working directory, which becomes the
// new working directory; it is unmounted, with everything mounted inside it, when the object goes.
// Sizes are rounded up to whole pages by the kernel.
class Sandbox {
public:
    static constexpr std::uint64_t kUnlimitedInodes = 0;

    explicit Sandbox(std::uint64_t bytes, std::uint64_t inodes = kUnlimitedInodes);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return m_path; }

    // Gives the file system new limits; files already written stay.
    void Resize(std::uint64_t bytes, std::uint64_t inodes = kUnlimitedInodes);
    // Fills every free block with a filler file; answers the bytes it took.
    std::uint64_t FillUp();
    // Gives the filler's blocks back.
    void FreeFiller();
    // Free bytes left, as the file system reports them.
    [[nodiscard]] std::uint64_t FreeBytes() const;

    // Makes a file or folder inside the sandbox read-only for everybody, root included: a read-only bind
    // mount of it over itself. Mounts made earlier below a folder keep their own state.
    void MakeReadOnly(const std::filesystem::path& relative);
    // Gives a file a writable mount of its own, so that a read-only sandbox made later leaves it writable.
    void KeepWritable(const std::filesystem::path& relative);

private:
    std::filesystem::path m_path;
};

} // namespace hourlink::testing
