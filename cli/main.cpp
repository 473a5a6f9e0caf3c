#include "cli/command_line_tool.h"
#include "platform/native_name.h"

#include <QList>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

int main(int argc, char* argv[])
{
    // Taken as the system spells them: a name need not be valid text, and
    // must reach the system calls spelt as it came. On Windows that is the
    // UTF-16 command line, never argv in the ANSI code page.
    QList<quillmend::platform::NativeName> arguments;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    SetConsoleOutputCP(CP_UTF8);
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments << quillmend::platform::NativeName::fromSystem(quillmend::platform::NativeString(wide[i]));
        LocalFree(wide);
    }
#else
    for (int i = 1; i < argc; ++i)
        arguments << quillmend::platform::NativeName::fromSystem(QByteArray(argv[i]));
#endif
    return quillmend::cli::CommandLineTool(stdout, stderr).run(arguments);
}
