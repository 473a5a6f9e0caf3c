#include "cli/command_line_tool.h"

#include <QByteArrayList>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Taken as bytes: a name need not be valid text, and must reach the
    // system calls spelt as it came.
    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    return quillmend::cli::CommandLineTool(stdout, stderr).run(arguments);
}
