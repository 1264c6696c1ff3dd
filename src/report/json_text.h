// JSON text: string literals (UTF-8 in, a quoted JSON string out) and objects written member by
// member, for the JSON Lines forms.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace runtrail {

// Appends `text` as a JSON string (with its quotes). Invalid UTF-8 is replaced by U+FFFD; quote and
// backslash are escaped; control characters (C0, DEL and the C1 codes U+0080 to U+009F, which a
// terminal obeys when a reader prints the value) and U+2028, U+2029 (which some readers take as line
// ends) are written as \uXXXX, so the result is always one line and safe to print.
void append_json_string(std::string& out, std::string_view text);

// Writes the members of one object: each call appends `"name":value`, with the commas between;
// the braces open with the object and close when it goes out of scope.
class json_object {
public:
    explicit json_object(std::string& out) : out_(out) { out_.push_back('{'); }
    // Members made apart, to go after the members of an object written elsewhere (the same members
    // in several objects): a comma before the first, and no braces.
    struct continuing_t {};
    static constexpr continuing_t continuing{};
    json_object(std::string& out, continuing_t) : out_(out), first_(false), braces_(false) {}
    ~json_object() {
        if (braces_) out_.push_back('}');
    }
    json_object(const json_object&) = delete;
    json_object& operator=(const json_object&) = delete;

    // The member's name and colon; the caller appends its value.
    std::string& key(const char* name) {
        if (!first_) out_.push_back(',');
        first_ = false;
        append_json_string(out_, name);
        out_.push_back(':');
        return out_;
    }
    void text(const char* name, std::string_view value) { append_json_string(key(name), value); }
    template <typename Integer>
    void number(const char* name, Integer value) {
        key(name) += std::to_string(value);
    }
    void boolean(const char* name, bool value) { key(name) += value ? "true" : "false"; }
    void null(const char* name) { key(name) += "null"; }
    // An array, each item appended by append_item(out, item).
    template <typename T, typename F>
    void array(const char* name, const std::vector<T>& items, F append_item) {
        std::string& out = key(name);
        out.push_back('[');
        for (size_t i = 0; i < items.size(); ++i) {
            if (i > 0) out.push_back(',');
            append_item(out, items[i]);
        }
        out.push_back(']');
    }

private:
    std::string& out_;
    bool first_ = true;
    bool braces_ = true;
};

}  // namespace runtrail
