#include "platform/scene/gltf/JsonReader.h"

#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdlib>

#include "platform/Precondition.h"

namespace scene::gltf {

JsonReader::JsonReader(std::span<const std::uint8_t> text, int maxDepth)
    : text_(text), maxDepth_(maxDepth) {
    platform::require(maxDepth >= 1 && maxDepth <= 64, "JsonReader",
                      "the nesting limit must be between 1 and 64");
}

platform::Error JsonReader::broken(std::string reason) {
    error_ = std::move(reason);
    expect_ = Expect::done;
    peeked_.reset();
    return platform::fail(error_);
}

platform::Error JsonReader::fault(const std::string& what) {
    return broken("its JSON is not well formed (" + what + " at byte " + std::to_string(at_) + ")");
}

platform::Result<JsonReader::Token> JsonReader::next() {
    if (peeked_) {
        Token token = *peeked_;
        peeked_.reset();
        return token;
    }
    return read();
}

platform::Result<JsonReader::Token> JsonReader::peek() {
    if (!peeked_) {
        TRY_LET(token, read());
        peeked_ = token;
    }
    return *peeked_;
}

void JsonReader::skipSpace() {
    while (at_ < text_.size()) {
        std::uint8_t c = text_[at_];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
        ++at_;
    }
}

void JsonReader::afterValue() { expect_ = depth_ == 0 ? Expect::done : Expect::commaOrEnd; }

platform::Result<JsonReader::Token> JsonReader::open(bool object) {
    if (depth_ >= maxDepth_)
        return broken("its JSON nests arrays and objects more than " + std::to_string(maxDepth_) +
                      " levels deep");
    std::uint64_t bit = std::uint64_t{1} << depth_;
    objects_ = object ? objects_ | bit : objects_ & ~bit;
    ++depth_;
    ++at_;
    expect_ = object ? Expect::firstKeyOrEnd : Expect::firstValueOrEnd;
    return object ? Token::beginObject : Token::beginArray;
}

platform::Result<JsonReader::Token> JsonReader::close(bool object) {
    bool inObject = depth_ > 0 && (objects_ >> (depth_ - 1) & 1) != 0;
    if (depth_ == 0 || inObject != object) return fault("a bracket that closes nothing open");
    --depth_;
    ++at_;
    afterValue();
    return object ? Token::endObject : Token::endArray;
}

platform::Result<JsonReader::Token> JsonReader::read() {
    if (!error_.empty()) return platform::fail(error_);
    if (expect_ == Expect::done) {
        skipSpace();
        if (at_ != text_.size()) return fault("text after the end");
        return Token::end;
    }
    skipSpace();
    if (at_ >= text_.size()) return fault("an end in the middle");
    std::uint8_t c = text_[at_];

    if (expect_ == Expect::commaOrEnd) {
        bool inObject = (objects_ >> (depth_ - 1) & 1) != 0;
        if (c == (inObject ? '}' : ']')) return close(inObject);
        if (c != ',') return fault("a missing comma");
        ++at_;
        skipSpace();
        if (at_ >= text_.size()) return fault("an end in the middle");
        c = text_[at_];
        expect_ = inObject ? Expect::key : Expect::value;
    }
    if (expect_ == Expect::firstKeyOrEnd && c == '}') return close(true);
    if (expect_ == Expect::firstValueOrEnd && c == ']') return close(false);

    if (expect_ == Expect::key || expect_ == Expect::firstKeyOrEnd) {
        if (c != '"') return fault("a key that is not a string");
        TRY(scanString());
        skipSpace();
        if (at_ >= text_.size() || text_[at_] != ':') return fault("a key without a colon");
        ++at_;
        expect_ = Expect::value;
        return Token::key;
    }

    switch (c) {
        case '{': return open(true);
        case '[': return open(false);
        case '"':
            TRY(scanString());
            afterValue();
            return Token::string;
        case 't':
        case 'f':
            TRY(scanLiteral(c == 't' ? "true" : "false"));
            boolean_ = c == 't';
            afterValue();
            return Token::boolean;
        case 'n':
            TRY(scanLiteral("null"));
            afterValue();
            return Token::null;
        default:
            TRY(scanNumber());
            afterValue();
            return Token::number;
    }
}

platform::Result<void> JsonReader::scanLiteral(std::string_view word) {
    if (text_.size() - at_ < word.size() ||
        std::string_view(reinterpret_cast<const char*>(text_.data() + at_), word.size()) != word)
        return fault("an unknown word");
    at_ += word.size();
    return {};
}

platform::Result<void> JsonReader::scanNumber() {
    std::size_t start = at_;
    auto digits = [&] {
        std::size_t from = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
        return at_ > from;
    };
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
        ++at_;
    } else if (!digits()) {
        return fault("a value that is none of JSON's");
    }
    if (at_ < text_.size() && text_[at_] == '.') {
        ++at_;
        if (!digits()) return fault("a number without digits after its point");
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
        ++at_;
        if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
        if (!digits()) return fault("a number without digits in its exponent");
    }
    number_ = std::string_view(reinterpret_cast<const char*>(text_.data() + start), at_ - start);
    return {};
}

// Scans a string from its opening quote. Strings without escapes, which
// are all the reader ever needs, are seen in place; short ones with
// escapes are decoded.
platform::Result<void> JsonReader::scanString() {
    std::size_t start = ++at_;
    bool escaped = false;
    for (;;) {
        if (at_ >= text_.size()) return fault("a string without its closing quote");
        std::uint8_t c = text_[at_];
        if (c == '"') break;
        if (c < 0x20) return fault("a control character in a string");
        if (c == '\\') {
            escaped = true;
            if (at_ + 1 >= text_.size()) return fault("a string without its closing quote");
            std::uint8_t e = text_[at_ + 1];
            if (e == 'u') {
                for (int k = 2; k < 6; ++k)
                    if (at_ + k >= text_.size() || !std::isxdigit(text_[at_ + k]))
                        return fault("a broken \\u escape");
                at_ += 6;
                continue;
            }
            if (std::string_view("\"\\/bfnrt").find(static_cast<char>(e)) == std::string_view::npos)
                return fault("an unknown escape");
            at_ += 2;
            continue;
        }
        ++at_;
    }
    std::string_view raw(reinterpret_cast<const char*>(text_.data() + start), at_ - start);
    ++at_;
    string_ = raw;
    if (!escaped || raw.size() > maxDecodedString) return {};

    decoded_.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            decoded_ += raw[i];
            continue;
        }
        char e = raw[++i];
        switch (e) {
            case 'b': decoded_ += '\b'; break;
            case 'f': decoded_ += '\f'; break;
            case 'n': decoded_ += '\n'; break;
            case 'r': decoded_ += '\r'; break;
            case 't': decoded_ += '\t'; break;
            case 'u': {
                unsigned code = static_cast<unsigned>(
                    std::strtoul(std::string(raw.substr(i + 1, 4)).c_str(), nullptr, 16));
                i += 4;
                // Names the reader looks for are ASCII; anything else only
                // has to stay different from them.
                decoded_ += code < 0x80 ? static_cast<char>(code) : '?';
                break;
            }
            default: decoded_ += e; break;
        }
    }
    string_ = decoded_;
    return {};
}

platform::Result<void> JsonReader::skipValue() {
    int depth = 0;
    do {
        TRY_LET(token, next());
        switch (token) {
            case Token::beginObject:
            case Token::beginArray: ++depth; break;
            case Token::endObject:
            case Token::endArray: --depth; break;
            case Token::key: break;
            case Token::end: return {};
            case Token::string:
            case Token::number:
            case Token::boolean:
            case Token::null: break;
        }
    } while (depth > 0);
    return {};
}

std::optional<std::uint64_t> JsonReader::wholeNumber() const {
    if (number_.empty() || number_.front() == '-') return std::nullopt;
    std::uint64_t value = 0;
    for (char c : number_) {
        if (c < '0' || c > '9') return std::nullopt;
        auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

namespace {
// The C library reads numbers with the decimal point of the program's
// locale; JSON's is always '.'. Numbers longer than any the writer makes
// are not worth reading exactly.
bool localNumberText(std::string_view number, char (&buffer)[128]) {
    if (number.size() >= sizeof buffer) return false;
    char point = '.';
    if (const std::lconv* conventions = std::localeconv(); conventions != nullptr &&
                                                           conventions->decimal_point != nullptr &&
                                                           conventions->decimal_point[0] != '\0')
        point = conventions->decimal_point[0];
    for (std::size_t i = 0; i < number.size(); ++i)
        buffer[i] = number[i] == '.' ? point : number[i];
    buffer[number.size()] = '\0';
    return true;
}
}  // namespace

std::optional<double> JsonReader::doubleNumber() const {
    char buffer[128];
    if (!localNumberText(number_, buffer)) return std::nullopt;
    double value = std::strtod(buffer, nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

// Read as a float directly rather than through a double, which would round
// twice and can miss the nearest float.
std::optional<float> JsonReader::floatNumber() const {
    char buffer[128];
    if (!localNumberText(number_, buffer)) return std::nullopt;
    float value = std::strtof(buffer, nullptr);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace scene::gltf
