// A strict JSON reader for tests (RFC 8259): one value, nothing after it, valid UTF-8, no raw
// control characters, escapes checked, surrogate escapes paired, no duplicate keys.
#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qn_string.h"

namespace json_check {

struct value {
    enum kind_t { null_kind, bool_kind, number_kind, string_kind, array_kind, object_kind } kind = null_kind;
    std::string text;  // a string's decoded UTF-8, a number as written, or "true"/"false"
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

    std::optional<value> document() {
        value v;
        if (!parse(v, 0)) return std::nullopt;
        ws();
        if (p_ != s_.size()) return std::nullopt;
        return v;
    }

private:
    std::string_view s_;
    size_t p_ = 0;

    void ws() {
        while (p_ < s_.size() && std::string_view(" \t\n\r").find(s_[p_]) != std::string_view::npos) ++p_;
    }
    bool eat(char c) { return p_ < s_.size() && s_[p_] == c && ++p_; }
    size_t digits() {
        const size_t start = p_;
        while (p_ < s_.size() && s_[p_] >= '0' && s_[p_] <= '9') ++p_;
        return p_ - start;
    }
    std::optional<unsigned> hex4() {
        unsigned u = 0;
        if (s_.size() - p_ < 4) return std::nullopt;
        const auto r = std::from_chars(s_.data() + p_, s_.data() + p_ + 4, u, 16);
        if (r.ec != std::errc() || r.ptr != s_.data() + p_ + 4) return std::nullopt;
        p_ += 4;
        return u;
    }

    bool parse(value& v, int depth) {
        ws();
        if (depth > 64) return false;
        if (eat('{')) {
            v.kind = value::object_kind;
            ws();
            if (eat('}')) return true;
            do {
                std::string key;
                value item;
                ws();
                if (!string(key) || v.find(key)) return false;
                ws();
                if (!eat(':') || !parse(item, depth + 1)) return false;
                v.members.emplace_back(std::move(key), std::move(item));
                ws();
            } while (eat(','));
            return eat('}');
        }
        if (eat('[')) {
            v.kind = value::array_kind;
            ws();
            if (eat(']')) return true;
            do {
                if (!parse(v.items.emplace_back(), depth + 1)) return false;
                ws();
            } while (eat(','));
            return eat(']');
        }
        if (p_ < s_.size() && s_[p_] == '"') return v.kind = value::string_kind, string(v.text);
        for (const std::string_view word : {"null", "true", "false"}) {
            if (s_.substr(p_, word.size()) != word) continue;
            p_ += word.size();
            v.kind = word == "null" ? value::null_kind : value::bool_kind;
            v.text = word;
            return true;
        }
        const size_t start = p_;
        v.kind = value::number_kind;
        eat('-');
        if (!eat('0') && digits() == 0) return false;
        if (eat('.') && digits() == 0) return false;
        if (eat('e') || eat('E')) {
            if (!eat('+')) eat('-');
            if (digits() == 0) return false;
        }
        v.text = s_.substr(start, p_ - start);
        return true;
    }

    bool string(std::string& out) {
        if (!eat('"')) return false;
        const size_t raw = p_;
        while (p_ < s_.size() && s_[p_] != '"') {
            const auto c = static_cast<unsigned char>(s_[p_++]);
            if (c < 0x20 || (c == '\\' && p_ >= s_.size())) return false;
            if (c != '\\') {
                out.push_back(static_cast<char>(c));
                continue;
            }
            const char e = s_[p_++];
            const std::string_view simple = "\"\\/bfnrt", decoded = "\"\\/\b\f\n\r\t";
            if (const size_t at = simple.find(e); at != std::string_view::npos) {
                out.push_back(decoded[at]);
                continue;
            }
            auto cp = e == 'u' ? hex4() : std::nullopt;
            if (!cp || (*cp >= 0xDC00 && *cp <= 0xDFFF)) return false;
            if (*cp >= 0xD800 && *cp <= 0xDBFF) {
                const auto low = eat('\\') && eat('u') ? hex4() : std::nullopt;
                if (!low || *low < 0xDC00 || *low > 0xDFFF) return false;
                cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
            }
            qn::append_utf8(out, static_cast<char32_t>(*cp));
        }
        const std::string_view bytes = s_.substr(raw, p_ - raw);  // raw bytes must be valid UTF-8
        return eat('"') && qn::sanitize_utf8(bytes) == bytes;
    }
};

inline std::optional<value> parse(std::string_view text) { return reader(text).document(); }

}  // namespace json_check
