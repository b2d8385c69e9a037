#include "FrameList.h"

#include "WaveFit.h"

#include <algorithm>

std::string ParseFrameList(const std::string& text, std::vector<std::int64_t>& frames)
{
    frames.clear();
    // Saturates: a number past any table is refused here, however long.
    const auto number = [](const std::string& digits, std::int64_t& value) {
        value = 0;
        for (const char digit : digits) {
            if (digit < '0' || digit > '9')
                return false;
            value = std::min<std::int64_t>(value * 10 + (digit - '0'), kMaxTableFrames + 1);
        }
        return !digits.empty() && value >= 1 && value <= kMaxTableFrames;
    };
    std::size_t start = 0;
    std::size_t count = 0;
    for (;;) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, end - start);
        const std::size_t dash = item.find('-');
        std::int64_t first = 0;
        std::int64_t last = 0;
        if (!number(item.substr(0, dash), first) ||
            !number(dash == std::string::npos ? item : item.substr(dash + 1), last))
            return "'" + item + "' is not a frame number from 1 to " + std::to_string(kMaxTableFrames) +
                   " or a range such as 9-12";
        if (last < first)
            return "'" + item + "' runs backward";
        count += static_cast<std::size_t>(last - first + 1);
        if (count > kBankFrames)
            return "'" + text + "' picks more than a bank of " + std::to_string(kBankFrames) + " frames";
        for (std::int64_t frame = first; frame <= last; ++frame)
            frames.push_back(frame);
        if (end == text.size())
            return "";
        start = end + 1;
    }
}
