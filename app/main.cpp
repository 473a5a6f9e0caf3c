// The program's start: the window application.
#include "shell/app.h"

int main(int argc, char* argv[])
{
    return quillmend::shell::App::run(argc, argv);
}
