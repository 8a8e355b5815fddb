#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace hourlink::fuzz {

// Every file the code under test touches is opened by bare name, so each fuzzer works in a private
// folder of its own, made once per process. A tmpfs is preferred: the log and the settings file are
// flushed to disk on every write, and on a real disk that would dominate each run.
inline void EnterScratchFolder() {
    static const bool entered = [] {
        std::string base = "/dev/shm";
        if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') {
            base = tmp;
        } else if (::access(base.c_str(), W_OK) != 0) {
            base = "/tmp";
        }
        std::string pattern = base + "/hourlink-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr || ::chdir(pattern.c_str()) != 0) {
            std::perror("hourlink fuzz: scratch folder");
            std::abort();
        }
        // libFuzzer ends without running exit handlers, so the folder is left to whoever made TMPDIR
        // (fuzz/run.sh removes its own); a crash leaves it for inspection in any case.
        return true;
    }();
    (void)entered;
}

inline void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::perror("hourlink fuzz: write");
        std::abort();
    }
}

inline std::string ReadFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the case under test was, in words, printed with a broken invariant; the raw input alone says
// little once the fuzzer has cut it into names, values and file contents.
inline std::string& CaseDescription() {
    static std::string description;
    return description;
}

// The bytes as a C string literal would write them.
inline std::string Escaped(const std::string& bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u >= 0x20 && u < 0x7f) {
            out += c;
        } else {
            char octal[5];
            std::snprintf(octal, sizeof octal, "\\%03o", u);
            out += octal;
        }
    }
    return out + "\"";
}

// A broken invariant: say which, and crash so that libFuzzer keeps the input.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "hourlink fuzz: invariant broken: %s\n%s\n", what, CaseDescription().c_str());
    std::abort();
}

inline void Check(bool condition, const char* what) {
    if (!condition) {
        Fail(what);
    }
}

} // namespace hourlink::fuzz
