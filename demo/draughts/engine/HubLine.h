#pragma once

#include <string>
#include <vector>

namespace Draughts
{

// One line of the Hub protocol, either way: a command and its arguments in order, each a
// name with a value or a bare flag ("pos pos=W... moves=\"32-28 19-23\"", "go think").
// Values holding a space, '=', a quote or nothing are written in double quotes. The one
// place where both the engine and the GUI side read and write the protocol's lines.
class HubLine
{
public:
    struct Argument
    {
        std::string name;
        std::string value;
        bool hasValue = false;
    };

    HubLine() = default;
    explicit HubLine(std::string command) : m_Command(std::move(command)) {}

    // Reads a line (without its line end; a trailing carriage return is ignored). False,
    // with a one-line reason, for an empty line, an unterminated quote, a quote inside a
    // name or glued to what follows, an argument without a name, or a control character.
    static bool parse(const std::string& text, HubLine& line, std::string& error);
    // The line as sent, without a line end.
    std::string format() const;

    const std::string& command() const { return m_Command; }
    const std::vector<Argument>& arguments() const { return m_Arguments; }
    // Appends an argument with a value, or a bare flag; returns the line for chaining.
    HubLine& add(const std::string& name, const std::string& value);
    HubLine& flag(const std::string& name);
    // Whether an argument (with or without a value) of that name is present.
    bool has(const std::string& name) const;
    // The value of the first argument of that name; false when absent or a bare flag.
    bool value(const std::string& name, std::string& value) const;
    // The first argument's name ("think" in "go think"), "" when there is none.
    std::string firstName() const { return m_Arguments.empty() ? std::string() : m_Arguments.front().name; }

private:
    std::string m_Command;
    std::vector<Argument> m_Arguments;
};

} // namespace Draughts
