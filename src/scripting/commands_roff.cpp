// qm5083-commands-roff: the manual page's list of commands, made at build time from the one list
// of commands, so that the page can never name a command the program does not have, or miss one.

#include "script_command.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

// Text as roff shows it: a hyphen is \-, a backslash \e.
std::string roff(std::string_view text)
{
    std::string shown;
    for (const char c : text) {
        if (c == '-')
            shown += "\\-";
        else if (c == '\\')
            shown += "\\e";
        else
            shown += c;
    }
    return shown;
}

} // namespace

int main()
{
    for (const qm5083::scripting::CommandEntry &command : qm5083::scripting::kCommands) {
        std::string summary = roff(command.summary);
        summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0])));
        std::printf(".TP\n.B %s", roff(command.name).c_str());
        if (!command.arguments.empty())
            std::printf(" \\fI%s\\fR", roff(command.arguments).c_str());
        std::printf("\n%s.\n", summary.c_str());
    }
    return 0;
}
