#include "HubLine.h"

namespace Draughts
{

namespace
{
bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

bool isControl(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return (u < 32 && c != '\t') || u == 127;
}

// A value written bare would be read back differently.
bool needsQuotes(const std::string& value)
{
    if (value.empty())
        return true;
    for (char c : value)
        if (isSpace(c) || c == '=' || c == '"')
            return true;
    return false;
}
} // namespace

bool HubLine::parse(const std::string& text, HubLine& line, std::string& error)
{
    std::string body = text;
    if (!body.empty() && body.back() == '\r')
        body.pop_back();
    line = HubLine();
    for (char c : body)
        if (isControl(c)) {
            error = "a control character in the line";
            return false;
        }
    std::size_t at = 0;
    const std::size_t size = body.size();
    auto skipSpaces = [&] {
        while (at < size && isSpace(body[at]))
            ++at;
    };
    skipSpaces();
    // The command: a word without quotes or '='.
    while (at < size && !isSpace(body[at])) {
        if (body[at] == '"' || body[at] == '=') {
            error = "the command holds a quote or '='";
            return false;
        }
        line.m_Command += body[at++];
    }
    if (line.m_Command.empty()) {
        error = "an empty line";
        return false;
    }
    for (;;) {
        skipSpaces();
        if (at >= size)
            return true;
        Argument argument;
        while (at < size && !isSpace(body[at]) && body[at] != '=') {
            if (body[at] == '"') {
                error = "a quote in the argument name '" + argument.name + "'";
                return false;
            }
            argument.name += body[at++];
        }
        if (argument.name.empty()) {
            error = "an argument without a name";
            return false;
        }
        if (at < size && body[at] == '=') {
            ++at;
            argument.hasValue = true;
            if (at < size && body[at] == '"') {
                const std::size_t close = body.find('"', at + 1);
                if (close == std::string::npos) {
                    error = "the value of '" + argument.name + "' has no closing quote";
                    return false;
                }
                argument.value = body.substr(at + 1, close - at - 1);
                at = close + 1;
                if (at < size && !isSpace(body[at])) {
                    error = "text right after the quoted value of '" + argument.name + "'";
                    return false;
                }
            } else {
                while (at < size && !isSpace(body[at])) {
                    if (body[at] == '"' || body[at] == '=') {
                        error = "a quote or '=' inside the value of '" + argument.name + "'";
                        return false;
                    }
                    argument.value += body[at++];
                }
            }
        }
        line.m_Arguments.push_back(std::move(argument));
    }
}

std::string HubLine::format() const
{
    std::string text;
    for (char c : m_Command)
        text += isControl(c) || isSpace(c) ? '_' : c;
    for (const Argument& argument : m_Arguments) {
        text += ' ';
        text += argument.name;
        if (!argument.hasValue)
            continue;
        text += '=';
        // A quote cannot be written inside a quoted value: it becomes an apostrophe; a
        // line end or other control character would end or spoil the line: a space.
        std::string value = argument.value;
        for (char& c : value)
            if (c == '"')
                c = '\'';
            else if (isControl(c))
                c = ' ';
        text += needsQuotes(value) ? '"' + value + '"' : value;
    }
    return text;
}

HubLine& HubLine::add(const std::string& name, const std::string& value)
{
    Argument argument;
    argument.name = name;
    argument.value = value;
    argument.hasValue = true;
    m_Arguments.push_back(std::move(argument));
    return *this;
}

HubLine& HubLine::flag(const std::string& name)
{
    Argument argument;
    argument.name = name;
    m_Arguments.push_back(std::move(argument));
    return *this;
}

bool HubLine::has(const std::string& name) const
{
    for (const Argument& argument : m_Arguments)
        if (argument.name == name)
            return true;
    return false;
}

bool HubLine::value(const std::string& name, std::string& value) const
{
    for (const Argument& argument : m_Arguments)
        if (argument.name == name) {
            if (!argument.hasValue)
                return false;
            value = argument.value;
            return true;
        }
    return false;
}

} // namespace Draughts
