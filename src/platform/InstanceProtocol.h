#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace hourlink {

// What a second start and the running program say to each other over the program's local socket: one
// request per connection, one reply, then the connection closes. Both are text: a first line
// "hourlink/<version> <word>", then "key: value" lines, then an empty line. A request names what it wants
// ("raise" brings the window forward; a query can be added as a request of its own, so a query never
// raises the window). A reply's word is "ok" or "error", an error followed by its reason.
inline constexpr int kInstanceProtocolVersion = 1;
inline constexpr std::size_t kInstanceMessageLimit = 4096;

inline constexpr const char* kRaiseRequest = "raise";
// The desktop's start-up id of the second start, handed over so that the running window may take the focus.
inline constexpr const char* kStartupIdField = "startup-id";
inline constexpr const char* kActivationTokenField = "activation-token";

inline constexpr const char* kUnknownRequestError = "unknown-request";
inline constexpr const char* kUnsupportedVersionError = "unsupported-version";
inline constexpr const char* kMalformedError = "malformed";
// A query that came before the program's start-up had finished.
inline constexpr const char* kNotReadyError = "not-ready";

struct InstanceMessage {
    // The request's name, or "ok" / "error" in a reply.
    std::string word;
    // The error's reason in a reply; empty otherwise.
    std::string reason;
    std::map<std::string, std::string> fields;
    int version = kInstanceProtocolVersion;
};

// A message in its wire form. A field whose key or value could break the line structure is left out.
[[nodiscard]] std::string FormatInstanceMessage(const InstanceMessage& message);

// Reads the bytes received so far: nullopt while the empty line that ends the message has not come;
// a message of kind "error" (reason kMalformedError) when the bytes can never be a message, also when
// they grow beyond kInstanceMessageLimit without an end. The version is read as sent and not judged here.
enum class ReadState { Incomplete, Complete, Malformed };
struct ReadResult {
    ReadState state = ReadState::Incomplete;
    InstanceMessage message;
};
[[nodiscard]] ReadResult ReadInstanceMessage(std::string_view bytes);

// The short name of the lock and the socket of the program that keeps the log of `canonicalFolder` for
// user `uid`: "hourlink-" and 16 hexadecimal digits, so that a socket path stays far below 108 bytes
// whatever the folder's length.
[[nodiscard]] std::string InstanceName(std::uint32_t uid, const std::string& canonicalFolder);

} // namespace hourlink
