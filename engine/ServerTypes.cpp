#include "engine/ServerTypes.h"

#include <algorithm>
#include <string>

namespace {

struct TServerType
{
    const char *Name;
    TListParser Parser;
};

using P = TListParser;

constexpr TServerType ServerTypes[ServerTypeCount] = {
    {"Automatic Detect", P::Unix},
    {"Not Relevant", P::None},
    {"Chameleon", P::Unix},
    {"FTP PC/TCP", P::Unix},
    {"IBM PC TCP/IP", P::Unix},
    {"IBM VM", P::VM},
    {"KA9Q/NOS", P::Unix},
    {"NCSA/CUTCP", P::Unix},
    {"SI NT FTPD", P::Unix},
    {"Super TCP", P::Unix},
    {"Unisys 5000 (EXOS)", P::Unix},
    {"UNIX (standard)", P::Unix},
    {"VMS MultiNet", P::VMS},
    {"VMS UCX", P::VMS},
    {"QVT/Net 2/3", P::Unix},
    {"MAC NCSA", P::Unix},
    {"MAC Peter Server", P::Unix},
    {"Microsoft NT", P::Dos},
    {"IBM AS/400", P::Unix},
    {"IBM MVS", P::Unix},
    {"PDP11 RSX11M", P::Unix},
    {"Sun Solaris", P::Unix},
    {"OS/9", P::Unix},
    {"Ipswitch", P::Unix},
    {"BULL GCOS", P::Unix},
    {"IBM MVS/KNET", P::Unix},
    {"Amiga", P::Unix},
    {"CDC Cyber", P::Unix},
    {"IBM R1000", P::Unix},
    {"BULL CP6", P::Unix},
    {"IBM Spartacus KNET", P::Unix},
    {"Tandem", P::Unix},
    {"Stratus VOS", P::Unix},
    {"HP/3000", P::Unix},
    {"Serv-U", P::Unix},
    {"WFTPD", P::Unix},
    {"Netware v4", P::Unix},
    {"PCNFS Pro", P::Unix},
    {"TGV MultiNet", P::Unix},
    {"FTP PC/TCP 3.0", P::Unix},
    {"QVT/Net 4.0", P::Unix},
    {"MAC VersaTerm", P::Unix},
    {"HellSoft", P::Unix},
    {"IBM OS2 WARP", P::Unix},
    {"PRIMOS", P::Unix},
    {"OS2200", P::Unix},
    {"UniTree", P::Unix},
    {"QNX2", P::Unix},
    {"WarFTPD", P::Unix},
    {"IBM OS2", P::Unix},
    {"Music", P::Unix},
    {"AOS/VS", P::Unix},
    {"Passport 160", P::Unix},
};

struct TSignature
{
    std::string_view Text;
    int Type;
};

constexpr TSignature WelcomeTable[] = {
    {"WAR-FTPD", 48},      {" MUSIC/SP", 50},       {"Spartacus KNET", 30},
    {"- qnx -", 47},       {"(UniTree", 46},        {"NetWare v4", 36},
    {"Serv-U FTP", 34},    {" WFTPD ", 35},         {"HellSoft", 42},
    {"Novell LAN W", 9},   {"(EXOS", 10},           {"(XElink", 44},
    {"VersaTerm ", 41},    {"KNET/MVS", 25},        {"RSX", 20},
    {"N1BEE", 6},          {"IBM OS/2 TCP/IP", 4},  {" OS-9 ", 22},
    {"GCOS", 24},          {"BULL", 24},            {"Amiga ", 26},
    {"JNOS", 6},           {"Rational FTP", 28},    {"CP-6 FTP", 29},
    {"DOS FTP Server 3.", 39}, {"IBM TCP/IP for OS/2 - FTP", 49},
};

// Entries before SystFirstLowerCase are compared with the line as received, the rest
// with the line in lower case.
constexpr TSignature SystTable[] = {
    {"215 MPE/iX", 33},     {" MUSIC/SP", 50},      {"WAR-FTPD", 48},
    {"RSX", 20},            {"UniTree", 46},        {"NetWare v4", 36},
    {" PRIMOS ", 44},       {"VersaTerm ", 41},     {"HellSoft", 42},
    {"windows_nt", 17},     {" pc ", 23},           {"macos peter", 16},
    {"os/2 operating", 4},  {"ultrix", 11},         {"unix", 11},
    {"mvs", 19},            {"qvt/net 4", 40},      {"qvt", 14},
    {"ncsa", 7},            {"chameleon", 2},       {"netmanage", 2},
    {"windows [multinet", 38}, {"vms", 13},         {"multinet", 12},
    {"os/400", 18},         {" mts sys", 4},        {" vm ", 5},
    {" vm/esa", 5},         {" vm/cms", 5},         {"vos", 32},
    {"m28", 32},            {"tandem", 31},         {"dos ftp server 3.", 39},
};
constexpr std::size_t SystFirstLowerCase = 9;

constexpr TSignature HelpTable[] = {
    {"NCSA", 7}, {"CUTCP", 7}, {"MACB", 15}, {"HellSoft", 42}, {"214-PC FTP server", 14}, {"QVT", 14},
};

bool Contains(std::string_view Line, std::string_view Text)
{
    return Line.find(Text) != std::string_view::npos;
}

template <std::size_t N>
int FirstMatch(const TSignature (&Table)[N], std::string_view Line)
{
    for (const TSignature &entry : Table)
        if (Contains(Line, entry.Text))
            return entry.Type;
    return 0;
}

} // namespace

const char *ServerTypeName(int Type)
{
    return Type >= 0 && Type < ServerTypeCount ? ServerTypes[Type].Name : "";
}

TListParser ServerTypeParser(int Type)
{
    return Type >= 0 && Type < ServerTypeCount ? ServerTypes[Type].Parser : TListParser::None;
}

int MatchWelcomeLine(std::string_view Line)
{
    return FirstMatch(WelcomeTable, Line);
}

int MatchSystLine(std::string_view Line)
{
    for (std::size_t i = 0; i < SystFirstLowerCase; ++i)
        if (Contains(Line, SystTable[i].Text))
            return SystTable[i].Type;

    std::string lower(Line);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    for (std::size_t i = SystFirstLowerCase; i < std::size(SystTable); ++i) {
        if (!Contains(lower, SystTable[i].Text))
            continue;
        // "VMS UCX" is "VMS MultiNet" when the same line also names MultiNet.
        if (SystTable[i].Type == 13 && Contains(lower, SystTable[i + 1].Text))
            return 12;
        return SystTable[i].Type;
    }
    return 0;
}

int MatchHelpLine(std::string_view Line)
{
    return FirstMatch(HelpTable, Line);
}
