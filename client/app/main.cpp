// The client's entry: the application shell runs the program with the windows of the other parts.
#include <account/LoginWindow.h>
#include <account/RecoverWindow.h>
#include <account/RegisterWindow.h>
#include <app/Program.h>
#include <exam/ExamWindow.h>
#include <exam/ResultWindow.h>

int main(int argc, char** argv)
{
    using namespace kestrova;
    app::ProgramParts parts;
    parts.windows.makeLoginWindow = [] { return new account::LoginWindow; };
    parts.windows.makeExamWindow = [] { return new exam::ExamWindow; };
    parts.windows.catalogue = {
        {"register", [] { return new account::RegisterWindow; }},
        {"recover", [] { return new account::RecoverWindow; }},
        {"result", [] { return new exam::ResultWindow; }},
    };
    return app::runProgram(argc, argv, std::move(parts));
}
