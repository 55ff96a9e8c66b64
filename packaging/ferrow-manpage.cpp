// Writes the manual page of ferrow or ferrow-ftp to standard output, from the usage
// text the program itself shows. Run by the build; not installed.

#include "app/CommandLineOptions.h"
#include "packaging/ManPage.h"
#include "platform/Version.h"
#include "tools/ferrow-ftp/ToolOptions.h"

#include <cstdio>
#include <cstring>

namespace {

const char *const FilesText =
    "The options file ferrow.ini, the sites file Sites.ini, the debug trace Debug.txt and the "
    "log file ferrow.log are kept in the program folder: the folder of the executable when it is "
    "writable and not a bin folder (a portable copy, such as a build folder), otherwise "
    "~/.local/share/Velunor Media/Ferrow (below $XDG_DATA_HOME when that is set).\n\n"
    "Window positions and column widths are kept in ~/.config/Velunor Media/ScrivelFerrow.ini.";

TManPageSource FerrowPage()
{
    QString usage = CommandLineUsageText();
    usage.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    TManPageSource page;
    page.Name = "ferrow";
    page.Summary = "desktop FTP client";
    page.Description =
        "Ferrow shows local folders on the left and FTP server folders on the right, each side a "
        "row of tabs. One transfer queue moves files and whole folder trees both ways and resumes "
        "interrupted transfers where the server allows.\n\n"
        "The switches below connect at start, change folders, and queue transfers; with /x Ferrow "
        "ends once the queued transfers are done. An ftp:// URL given as an argument connects to "
        "its server and opens its folder.\n\n"
        "--version prints the version and exits.";
    page.Usage = usage.toStdString();
    page.Files = FilesText;
    page.SeeAlso = "ferrow-ftp(1)";
    return page;
}

TManPageSource FerrowFtpPage()
{
    TManPageSource page;
    page.Name = "ferrow-ftp";
    page.Summary = "run one FTP command through Ferrow's engine";
    page.Description = "ferrow-ftp drives Ferrow's FTP engine without a window, for scripts, diagnosis and "
                       "benchmarks. It logs in, runs one command, logs out, and exits with the status below.";
    page.Usage = UsageText("ferrow-ftp");
    page.Files = "With --debug the engine's trace goes to Debug.txt in the program folder, chosen "
                 "as for ferrow(1).";
    page.SeeAlso = "ferrow(1)";
    return page;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 || (std::strcmp(argv[1], "ferrow") != 0 && std::strcmp(argv[1], "ferrow-ftp") != 0)) {
        std::fputs("Usage: ferrow-manpage ferrow|ferrow-ftp\n", stderr);
        return 2;
    }
    TManPageSource page = std::strcmp(argv[1], "ferrow") == 0 ? FerrowPage() : FerrowFtpPage();
    page.Version = FerrowVersion;
    std::fputs(ManPage(page).c_str(), stdout);
    return 0;
}
