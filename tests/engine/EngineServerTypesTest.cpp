// The server-type table and the texts that identify a server.

#include "engine/ServerTypes.h"

#include <gtest/gtest.h>

TEST(EngineServerTypesTest, NamesAndParsers)
{
    EXPECT_STREQ(ServerTypeName(0), "Automatic Detect");
    EXPECT_STREQ(ServerTypeName(stUnixStandard), "UNIX (standard)");
    EXPECT_STREQ(ServerTypeName(34), "Serv-U");
    EXPECT_STREQ(ServerTypeName(52), "Passport 160");
    EXPECT_STREQ(ServerTypeName(53), "");
    EXPECT_STREQ(ServerTypeName(-1), "");

    EXPECT_EQ(ServerTypeParser(stNotRelevant), TListParser::None);
    EXPECT_EQ(ServerTypeParser(5), TListParser::VM);
    EXPECT_EQ(ServerTypeParser(12), TListParser::VMS);
    EXPECT_EQ(ServerTypeParser(13), TListParser::VMS);
    EXPECT_EQ(ServerTypeParser(17), TListParser::Dos);
    for (const int unix : {0, 2, 4, 6, 11, 16, 18, 33, 52})
        EXPECT_EQ(ServerTypeParser(unix), TListParser::Unix) << unix;
    EXPECT_EQ(ServerTypeParser(99), TListParser::None);
}

TEST(EngineServerTypesTest, Welcome)
{
    EXPECT_EQ(MatchWelcomeLine("220 Serv-U FTP Server v6.0 for WinSock ready..."), 34);
    EXPECT_EQ(MatchWelcomeLine("220-WAR-FTPD 1.65 Ready"), 48);
    EXPECT_EQ(MatchWelcomeLine("220 Amiga FTP server"), 26);
    EXPECT_EQ(MatchWelcomeLine("220 AmigaFTP"), 0) << "the space belongs to the text";
    EXPECT_EQ(MatchWelcomeLine("220 GCOS on RSX"), 20) << "the table's order decides, not the line's";
    EXPECT_EQ(MatchWelcomeLine("220 serv-u ftp"), 0) << "case-sensitive";
    EXPECT_EQ(MatchWelcomeLine("220 (vsFTPd 3.0.3)"), 0);
    EXPECT_EQ(MatchWelcomeLine("220 pyftpdlib 1.5.7 ready."), 0);
}

TEST(EngineServerTypesTest, Syst)
{
    EXPECT_EQ(MatchSystLine("215 UNIX Type: L8"), stUnixStandard);
    EXPECT_EQ(MatchSystLine("215 Windows_NT version 5.0"), 17);
    EXPECT_EQ(MatchSystLine("215 VMS MultiNet V4.3"), 12);
    EXPECT_EQ(MatchSystLine("215 VMS"), 13);
    EXPECT_EQ(MatchSystLine("215 QVT/Net 4.0"), 40);
    EXPECT_EQ(MatchSystLine("215 QVT"), 14);
    EXPECT_EQ(MatchSystLine("215 MPE/iX: HP/3000"), 33);
    EXPECT_EQ(MatchSystLine("215 mpe/ix"), 0) << "the first nine entries are case-sensitive";
    EXPECT_EQ(MatchSystLine("215 UniTree"), 46);
    EXPECT_EQ(MatchSystLine("215 OS/2 operating system"), 4);
    EXPECT_EQ(MatchSystLine("215 Tandem"), 31);
    EXPECT_EQ(MatchSystLine("215 something else"), 0);
}

TEST(EngineServerTypesTest, Help)
{
    EXPECT_EQ(MatchHelpLine("214-NCSA Telnet"), 7);
    EXPECT_EQ(MatchHelpLine("214-PC FTP server"), 14);
    EXPECT_EQ(MatchHelpLine("214 MACB USER PASS"), 15);
    EXPECT_EQ(MatchHelpLine("214 macb"), 0);
    EXPECT_EQ(MatchHelpLine("214 The following commands are recognized"), 0);
}
