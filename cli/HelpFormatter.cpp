#include "HelpFormatter.h"

#include <algorithm>
#include <sstream>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr std::size_t kColumnsWithoutATerminal = 80;
// Descriptions beside the option names keep at least this much room.
constexpr std::size_t kNarrowestDescription = 30;

// Up to the first line break or the end of the first sentence.
std::string FirstSentence(const std::string& text)
{
    const std::size_t end = std::min(text.find('\n'), text.find(". "));
    return end == std::string::npos ? text : text.substr(0, text[end] == '.' ? end + 1 : end);
}

}  // namespace

HelpFormatter::HelpFormatter(std::size_t width) : m_width(width) {}

std::size_t HelpFormatter::Width() const
{
    if (m_width == 0)
        m_width = HelpWidth();
    return m_width;
}

std::size_t HelpFormatter::DescriptionWidth() const
{
    return std::max(Width() - std::min(Width(), column_width_), kNarrowestDescription);
}

std::string HelpFormatter::make_description(const CLI::App* app) const
{
    return WrapText(CLI::Formatter::make_description(app), Width());
}

std::string HelpFormatter::make_footer(const CLI::App* app) const
{
    return WrapText(CLI::Formatter::make_footer(app), Width());
}

std::string HelpFormatter::make_option_desc(const CLI::Option* option) const
{
    return WrapText(option->get_description(), DescriptionWidth());
}

std::string HelpFormatter::make_option(const CLI::Option* option, bool positional) const
{
    return Row(make_option_name(option, positional) + make_option_opts(option), make_option_desc(option));
}

std::string HelpFormatter::make_subcommand(const CLI::App* command) const
{
    return Row(command->get_display_name(), WrapText(FirstSentence(command->get_description()), DescriptionWidth()));
}

std::string HelpFormatter::Row(const std::string& name, const std::string& description) const
{
    // help2man tells a name from its description by two spaces at least: a
    // name that leaves fewer gets its description on the next line.
    std::string row = "  " + name;
    if (!description.empty())
        row += row.size() + 2 <= column_width_ ? std::string(column_width_ - row.size(), ' ')
                                               : "\n" + std::string(column_width_, ' ');
    for (const char c : description)
        row += c == '\n' ? "\n" + std::string(column_width_, ' ') : std::string(1, c);
    return row + "\n";
}

std::size_t HelpWidth()
{
    winsize size{};
    if (::isatty(STDOUT_FILENO) && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kColumnsWithoutATerminal;
}

std::string WrapText(const std::string& text, std::size_t width)
{
    std::string wrapped;
    std::istringstream lines(text);
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
        if (!first)
            wrapped += '\n';
        first = false;
        std::istringstream words(line);
        std::string word;
        std::size_t used = 0;
        while (words >> word) {
            if (used > 0 && used + 1 + word.size() > width) {
                wrapped += '\n';
                used = 0;
            } else if (used > 0) {
                wrapped += ' ';
                ++used;
            }
            wrapped += word;
            used += word.size();
        }
    }
    if (!text.empty() && text.back() == '\n')
        wrapped += '\n';
    return wrapped;
}
