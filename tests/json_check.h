// A strict JSON reader for tests (RFC 8259): one value, nothing after it, valid UTF-8, no raw
// control characters, escapes checked, surrogate escapes paired, no duplicate keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qn_string.h"

namespace json_check {

struct value {
    enum kind_t { null_kind, bool_kind, number_kind, string_kind, array_kind, object_kind } kind = null_kind;
    bool boolean = false;
    std::string text;  // a string's decoded UTF-8, or a number as written
    std::vector<value> items;
    std::vector<std::pair<std::string, value>> members;

    const value* find(std::string_view key) const {
        for (const auto& [k, v] : members)
            if (k == key) return &v;
        return nullptr;
    }
    bool is_null() const { return kind == null_kind; }
};

class reader {
public:
    explicit reader(std::string_view text) : s_(text) {}

    std::optional<value> parse_document() {
        skip_ws();
        auto v = parse_value(0);
        if (!v) return std::nullopt;
        skip_ws();
        if (pos_ != s_.size()) return std::nullopt;
        return v;
    }

private:
    void skip_ws() {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }
    bool eat(char c) {
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool literal(std::string_view word) {
        if (s_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    std::optional<value> parse_value(int depth) {
        if (depth > 64 || pos_ >= s_.size()) return std::nullopt;
        value v;
        const char c = s_[pos_];
        if (c == '{') return parse_object(depth);
        if (c == '[') return parse_array(depth);
        if (c == '"') {
            auto str = parse_string();
            if (!str) return std::nullopt;
            v.kind = value::string_kind;
            v.text = std::move(*str);
            return v;
        }
        if (literal("null")) return v;
        if (literal("true")) {
            v.kind = value::bool_kind;
            v.boolean = true;
            return v;
        }
        if (literal("false")) {
            v.kind = value::bool_kind;
            return v;
        }
        return parse_number();
    }

    std::optional<value> parse_number() {
        const size_t start = pos_;
        eat('-');
        auto digits = [&] {
            size_t n = 0;
            while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_, ++n;
            return n;
        };
        if (pos_ < s_.size() && s_[pos_] == '0') {
            ++pos_;
        } else if (digits() == 0) {
            return std::nullopt;
        }
        if (eat('.') && digits() == 0) return std::nullopt;
        if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
            ++pos_;
            if (!eat('+')) eat('-');
            if (digits() == 0) return std::nullopt;
        }
        value v;
        v.kind = value::number_kind;
        v.text = std::string(s_.substr(start, pos_ - start));
        return v;
    }

    std::optional<unsigned> hex4() {
        if (s_.size() - pos_ < 4) return std::nullopt;
        unsigned u = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s_[pos_++];
            u <<= 4;
            if (c >= '0' && c <= '9') u |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') u |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') u |= static_cast<unsigned>(c - 'A' + 10);
            else return std::nullopt;
        }
        return u;
    }

    std::optional<std::string> parse_string() {
        if (!eat('"')) return std::nullopt;
        std::string out;
        const size_t raw_start = pos_;
        for (;;) {
            if (pos_ >= s_.size()) return std::nullopt;
            const auto c = static_cast<unsigned char>(s_[pos_]);
            if (c == '"') {
                ++pos_;
                break;
            }
            if (c < 0x20) return std::nullopt;
            if (c != '\\') {
                out.push_back(static_cast<char>(c));
                ++pos_;
                continue;
            }
            ++pos_;
            if (pos_ >= s_.size()) return std::nullopt;
            const char e = s_[pos_++];
            switch (e) {
                case '"': out.push_back('"'); break;
                case '\\': out.push_back('\\'); break;
                case '/': out.push_back('/'); break;
                case 'b': out.push_back('\b'); break;
                case 'f': out.push_back('\f'); break;
                case 'n': out.push_back('\n'); break;
                case 'r': out.push_back('\r'); break;
                case 't': out.push_back('\t'); break;
                case 'u': {
                    auto u = hex4();
                    if (!u) return std::nullopt;
                    char32_t cp = *u;
                    if (cp >= 0xDC00 && cp <= 0xDFFF) return std::nullopt;
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        if (!eat('\\') || !eat('u')) return std::nullopt;
                        auto low = hex4();
                        if (!low || *low < 0xDC00 || *low > 0xDFFF) return std::nullopt;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                    }
                    qn::append_utf8(out, cp);
                    break;
                }
                default: return std::nullopt;
            }
        }
        // The raw bytes between the quotes must be valid UTF-8.
        const std::string_view raw = s_.substr(raw_start, pos_ - 1 - raw_start);
        if (qn::sanitize_utf8(raw) != raw) return std::nullopt;
        return out;
    }

    std::optional<value> parse_array(int depth) {
        eat('[');
        value v;
        v.kind = value::array_kind;
        skip_ws();
        if (eat(']')) return v;
        for (;;) {
            skip_ws();
            auto item = parse_value(depth + 1);
            if (!item) return std::nullopt;
            v.items.push_back(std::move(*item));
            skip_ws();
            if (eat(']')) return v;
            if (!eat(',')) return std::nullopt;
        }
    }

    std::optional<value> parse_object(int depth) {
        eat('{');
        value v;
        v.kind = value::object_kind;
        skip_ws();
        if (eat('}')) return v;
        for (;;) {
            skip_ws();
            auto key = parse_string();
            if (!key || v.find(*key)) return std::nullopt;
            skip_ws();
            if (!eat(':')) return std::nullopt;
            skip_ws();
            auto item = parse_value(depth + 1);
            if (!item) return std::nullopt;
            v.members.emplace_back(std::move(*key), std::move(*item));
            skip_ws();
            if (eat('}')) return v;
            if (!eat(',')) return std::nullopt;
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
};

inline std::optional<value> parse(std::string_view text) { return reader(text).parse_document(); }

}  // namespace json_check
