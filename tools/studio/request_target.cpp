#include "studio/request_target.h"

namespace nacrelle::tools::studio {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

/// `plusIsSpace`: form encoding, where query values write a space as '+'.
std::optional<std::string> decode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+' && plusIsSpace) {
            out += ' ';
        } else if (text[i] != '%') {
            out += text[i];
        } else {
            const bool complete = i + 2 < text.size();
            const int high = complete ? hexDigit(text[i + 1]) : -1;
            const int low = complete ? hexDigit(text[i + 2]) : -1;
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return out;
}

}  // namespace

std::optional<RequestTarget> parseRequestTarget(std::string_view target) {
    RequestTarget out;
    const std::size_t mark = target.find('?');
    std::optional<std::string> path = decode(target.substr(0, mark), false);
    if (!path) return std::nullopt;
    out.path = std::move(*path);
    if (mark == std::string_view::npos) return out;
    std::string_view query = target.substr(mark + 1);
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
        if (pair.empty()) continue;
        const std::size_t equals = pair.find('=');
        std::optional<std::string> name = decode(pair.substr(0, equals), true);
        std::optional<std::string> value = decode(
            equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1), true);
        if (!name || !value) return std::nullopt;
        out.query.emplace(std::move(*name), std::move(*value));
    }
    return out;
}

}  // namespace nacrelle::tools::studio
