// qwdump's --help, wrapped to the terminal's width (80 columns when it is
// not a terminal, so that help2man and the tests see the same text), with
// each command summed up by its first sentence in the list of commands.
#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <string>

class HelpFormatter : public CLI::Formatter
{
public:
    // 0: standard output's width, asked only when help is printed.
    explicit HelpFormatter(std::size_t width = 0);

    std::string make_description(const CLI::App* app) const override;
    std::string make_footer(const CLI::App* app) const override;
    std::string make_option(const CLI::Option* option, bool positional) const override;
    std::string make_option_desc(const CLI::Option* option) const override;
    std::string make_subcommand(const CLI::App* command) const override;

private:
    // "  NAME" and its description beside it, each line after the first
    // indented to the column.
    std::string Row(const std::string& name, const std::string& description) const;
    std::size_t Width() const;
    std::size_t DescriptionWidth() const;

    mutable std::size_t m_width;
};

// Standard output's width in columns when it is a terminal, else 80.
std::size_t HelpWidth();

// `text` with each line broken at spaces into lines of at most `width`
// characters; a longer word stays whole.
std::string WrapText(const std::string& text, std::size_t width);
