#include "cli/command_line_tool.h"
#include "platform/files/system_calls.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    return quillmend::cli::CommandLineTool(stdout, stderr)
        .run(quillmend::platform::SystemCalls::commandLineArguments(argc, argv));
}
