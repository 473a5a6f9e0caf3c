#include "cli/command_line_tool.h"

#include <QFile>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    return quillmend::cli::CommandLineTool(stdout, stderr).run(arguments);
}
