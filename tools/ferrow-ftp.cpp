// ferrow-ftp: a headless driver of Ferrow's FTP engine for scripts, diagnosis and the
// benchmarks. Run with --help for the commands.

#include "platform/Version.h"
#include "tools/ferrow-ftp/ParseCommand.h"
#include "tools/ferrow-ftp/ToolOptions.h"
#include "tools/ferrow-ftp/ToolSession.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    const TParsedArguments parsed = ParseToolArguments(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.Action) {
    case TParsedArguments::ShowHelp:
        std::fputs(UsageText("ferrow-ftp").c_str(), stdout);
        return teSuccess;
    case TParsedArguments::ShowVersion:
        std::printf("ferrow-ftp %s\n", FerrowVersion);
        return teSuccess;
    case TParsedArguments::Fail:
        std::fprintf(stderr, "ferrow-ftp: %s\n\n%s", parsed.Error.c_str(), UsageText("ferrow-ftp").c_str());
        return teUsage;
    case TParsedArguments::Run: break;
    }

    QCoreApplication app(argc, argv);
    ApplyEngineSettings(parsed.Options);
    if (parsed.Options.Command == TToolCommand::Parse)
        return RunParseCommand(parsed.Options);
    TToolSession session(parsed.Options);
    session.Start();
    return app.exec();
}
