// A pull parser for the JSON of a scene file: the reader asks for the
// value it expects next and skips what it does not need, without building
// a document. It holds nothing but its place in the text, checks the
// grammar of everything it passes over, and never nests deeper than its
// limit, so a hostile file costs time in proportion to its length only.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace scene::gltf {

class JsonReader {
public:
    enum class Token {
        beginObject,
        endObject,
        beginArray,
        endArray,
        key,
        string,
        number,
        boolean,
        null,
        end,
    };

    JsonReader(std::span<const std::uint8_t> text, int maxDepth);

    // The next token. Malformed text, or nesting beyond the limit, is an
    // error that says what is wrong and where; it stays, every later call
    // returns it again.
    platform::Result<Token> next();
    // The token after the current one, without moving past it.
    platform::Result<Token> peek();

    // The text of the last key or string, with escapes undone (a string of
    // more than `maxDecodedString` bytes with escapes comes back as it is
    // written: it is never one of the names the reader looks for).
    std::string_view string() const { return string_; }
    bool boolean() const { return boolean_; }

    // Converters of the last number token. A whole number is one written
    // without fraction or exponent; one beyond 64 bits is none.
    std::optional<std::uint64_t> wholeNumber() const;
    // The double or float nearest to the number; none when it is beyond the
    // type's range.
    std::optional<double> doubleNumber() const;
    std::optional<float> floatNumber() const;

    // Skips the value that starts at the next token, however it nests.
    platform::Result<void> skipValue();

    static constexpr std::size_t maxDecodedString = 256;

private:
    std::span<const std::uint8_t> text_;
    std::size_t at_ = 0;
    int maxDepth_;
    int depth_ = 0;
    // One bit a level: set for an object, clear for an array.
    std::uint64_t objects_ = 0;
    // What may come next: a value (after `[`, `,` in an array or `:`), a
    // key (after `{` or `,` in an object), or a comma or closing bracket.
    enum class Expect { value, firstValueOrEnd, key, firstKeyOrEnd, commaOrEnd, done };
    Expect expect_ = Expect::value;
    std::optional<Token> peeked_;
    std::string error_;
    std::string_view string_;
    std::string decoded_;
    std::string_view number_;
    bool boolean_ = false;

    platform::Result<Token> read();
    platform::Error broken(std::string reason);
    platform::Error fault(const std::string& what);
    void skipSpace();
    platform::Result<void> scanString();
    platform::Result<void> scanNumber();
    platform::Result<void> scanLiteral(std::string_view word);
    platform::Result<Token> open(bool object);
    platform::Result<Token> close(bool object);
    void afterValue();
};

}  // namespace scene::gltf
