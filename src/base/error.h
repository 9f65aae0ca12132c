// One error model for the whole engine: an Error is a value, Result<T> carries
// either the value or the Error, and TRY propagates.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <utility>

namespace quillon {

enum class ErrorCode : std::uint8_t {
    parse,        // malformed text input (script lines, expressions, numbers)
    not_found,    // a named thing does not exist
    io,           // reading or writing a file failed
    win32,        // a Windows call failed; system_code holds GetLastError()
    installer,    // Windows Installer returned a failure
    corrupt,      // binary input is damaged (bad CRC, truncated, inconsistent)
    unsupported,  // valid input that this engine does not handle
    cancelled,    // the user or the script cancelled
    out_of_range, // a number does not fit where it must
    internal,     // a broken invariant of the engine itself
};

struct Error {
    ErrorCode code = ErrorCode::internal;
    std::uint32_t system_code = 0; // captured at the failing call, 0 when none
    std::string message;

    // "message" or "message (code NNN)" for logs and runtime error reports.
    std::string describe() const;
};

// A result that is dropped unread is a lost failure: the compiler says so.
template <typename T>
class [[nodiscard]] Result : public std::expected<T, Error> {
public:
    using std::expected<T, Error>::expected;
    Result(const std::expected<T, Error>& other) : std::expected<T, Error>(other) {}
    Result(std::expected<T, Error>&& other) : std::expected<T, Error>(std::move(other)) {}
};

inline std::unexpected<Error> make_error(ErrorCode code, std::string message, std::uint32_t system_code = 0)
{
    return std::unexpected<Error>(Error{code, system_code, std::move(message)});
}

} // namespace quillon

// Propagates the error of an expression yielding Result<T>; evaluates to the value.
#define QUILLON_TRY_CONCAT_INNER(a, b) a##b
#define QUILLON_TRY_CONCAT(a, b) QUILLON_TRY_CONCAT_INNER(a, b)
#define TRY(expr)                                                                                                      \
    ({                                                                                                                 \
        auto&& QUILLON_TRY_CONCAT(try_result_, __LINE__) = (expr);                                                     \
        if (!QUILLON_TRY_CONCAT(try_result_, __LINE__))                                                                \
            return std::unexpected(std::move(QUILLON_TRY_CONCAT(try_result_, __LINE__)).error());                      \
        std::move(QUILLON_TRY_CONCAT(try_result_, __LINE__)).value();                                                  \
    })
