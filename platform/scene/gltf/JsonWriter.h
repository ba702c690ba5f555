// Writes the JSON of a scene file straight into a string, value by value:
// no document is built first. Numbers are written in their shortest form
// that reads back exactly, floats as floats and doubles as doubles.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace scene::gltf {

class JsonWriter {
public:
    explicit JsonWriter(std::string& out) : out_(out) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    void key(std::string_view name);

    void value(std::uint64_t number);
    void value(int number);
    void value(float number);
    void value(double number);
    void value(bool flag);
    void value(std::string_view text);
    void value(const char* text) { value(std::string_view(text)); }

    // Shorthands for a key and its value.
    template <class T>
    void member(std::string_view name, T v) {
        key(name);
        value(v);
    }

private:
    std::string& out_;
    // Whether the next value or key in the open container needs a comma
    // before it, and whether a key has just been written.
    bool needsComma_ = false;
    bool afterKey_ = false;

    void beforeValue();
    void open(char bracket);
    void close(char bracket);
};

// The shortest decimal text that reads back as exactly `number`.
std::string shortestText(float number);
std::string shortestText(double number);

}  // namespace scene::gltf
