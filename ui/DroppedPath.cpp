#include "DroppedPath.h"

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The path part of a local file: URI ("file:///p", "file://localhost/p",
// "file:/p"), still %-encoded; empty when `uri` names no local file.
std::string_view LocalFileUriPath(std::string_view uri, std::string_view hostName)
{
    constexpr std::string_view kScheme = "file:";
    if (uri.size() < kScheme.size() || !EqualsIgnoringCase(uri.substr(0, kScheme.size()), kScheme))
        return {};
    std::string_view rest = uri.substr(kScheme.size());
    // A query or fragment is no part of the file's name; a '?' or '#' in a
    // name is sent %-encoded.
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return {};
        const std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !EqualsIgnoringCase(host, "localhost") && !EqualsIgnoringCase(host, hostName))
            return {};
        rest.remove_prefix(slash);
    }
    return rest.substr(0, 1) == "/" ? rest : std::string_view();
}

// The local file a line of the list names, decoded; kNoFile for a comment,
// a blank line or another URL.
DroppedPath DecodedLine(std::string_view line, std::size_t maxBytes, std::string_view hostName)
{
    line = Trimmed(line);
    if (line.empty() || line.front() == '#')
        return {};
    const std::string_view encoded = LocalFileUriPath(line, hostName);
    if (encoded.empty())
        return {};

    DroppedPath dropped;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        char byte = encoded[i];
        if (byte == '%') {
            const int high = i + 2 < encoded.size() ? HexValue(encoded[i + 1]) : -1;
            const int low = high >= 0 ? HexValue(encoded[i + 2]) : -1;
            if (low < 0)
                return {DroppedPath::kNotExact, {}};
            byte = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (byte == '\0')
            return {DroppedPath::kNotExact, {}};
        dropped.path += byte;
    }
    if (dropped.path.size() > maxBytes)
        return {DroppedPath::kTooLong, {}};
    dropped.status = DroppedPath::kFound;
    return dropped;
}

// Each line of the list, in order, until `take` says stop.
template <typename Take>
void ForEachDroppedFile(std::string_view uriList, std::size_t maxBytes, std::string_view hostName, Take take)
{
    while (!uriList.empty()) {
        const std::size_t end = uriList.find('\n');
        DroppedPath dropped = DecodedLine(uriList.substr(0, end), maxBytes, hostName);
        uriList.remove_prefix(end == std::string_view::npos ? uriList.size() : end + 1);
        if (dropped.status != DroppedPath::kNoFile && !take(std::move(dropped)))
            return;
    }
}

}  // namespace

DroppedPath FirstDroppedFilePath(std::string_view uriList, std::size_t maxBytes, std::string_view hostName)
{
    DroppedPath first;
    ForEachDroppedFile(uriList, maxBytes, hostName, [&](DroppedPath dropped) {
        first = std::move(dropped);
        return false;
    });
    return first;
}

std::vector<DroppedPath> DroppedFilePaths(std::string_view uriList, std::size_t maxBytes, std::string_view hostName)
{
    std::vector<DroppedPath> all;
    ForEachDroppedFile(uriList, maxBytes, hostName, [&](DroppedPath dropped) {
        all.push_back(std::move(dropped));
        return true;
    });
    return all;
}
