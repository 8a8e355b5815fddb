#pragma once

#include <filesystem>

#include <gtest/gtest.h>

namespace hourlink::testing {

// A fresh temporary directory that becomes the working directory for the life of the object;
// the previous working directory is restored and the directory removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_path;
};

// Fixture base for tests that touch files by bare name.
class InTempDir : public ::testing::Test {
protected:
    TempDir m_dir;
};

} // namespace hourlink::testing
