// The command-line tool's start: the arguments as the system spells them.
#include "cli/command_line_tool.h"
#include "platform/files/native_name.h"
#include "platform/system/system_calls.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    using namespace quillmend::platform;
    QList<NativeName> arguments;
    for (const NativeString& argument : SystemCalls::commandLineArguments(argc, argv))
        arguments << NativeName::fromSystem(argument);
    return quillmend::cli::CommandLineTool(stdout, stderr).run(arguments);
}
