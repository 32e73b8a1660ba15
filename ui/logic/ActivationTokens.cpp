#include "ui/logic/ActivationTokens.h"

#include <algorithm>
#include <charconv>

namespace korvane {

std::string usableActivationToken(std::string_view token)
{
    if (token.size() > kMaxActivationTokenBytes) {
        return {};
    }
    const bool plain = std::all_of(token.begin(), token.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte > 0x20 && byte < 0x7f && c != '"' && c != '\\';
    });
    return plain ? std::string(token) : std::string();
}

ActivationTokens activationTokensFrom(const char* startupId, const char* activationToken)
{
    return {usableActivationToken(startupId != nullptr ? startupId : ""),
            usableActivationToken(activationToken != nullptr ? activationToken : "")};
}

std::optional<std::uint32_t> startupIdTime(std::string_view startupId)
{
    constexpr std::string_view marker = "_TIME";
    const std::size_t at = startupId.rfind(marker);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view digits = startupId.substr(at + marker.size());
    std::uint32_t time = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), time);
    // The whole rest must be the number; 0 is X's "current time", which says nothing.
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || time == 0) {
        return std::nullopt;
    }
    return time;
}

}  // namespace korvane
