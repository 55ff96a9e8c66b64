#include "tools/ferrow-ftp/ParseCommand.h"

#include "engine/Parsers.h"
#include "engine/ServerTypes.h"
#include "engine/Trace.h"
#include "tools/ferrow-ftp/ToolOutput.h"

#include <QFile>

#include <cstdio>

int RunParseCommand(const TToolOptions &Options)
{
    const bool fromStdin = Options.Arguments.empty();
    const std::string source = fromStdin ? std::string("standard input") : Options.Arguments[0];
    QFile input(fromStdin ? QString() : QFile::decodeName(QByteArray::fromStdString(source)));
    const bool opened = fromStdin ? input.open(stdin, QIODevice::ReadOnly) : input.open(QIODevice::ReadOnly);
    const QByteArray text = opened ? input.readAll() : QByteArray();
    if (!opened || input.error() != QFileDevice::NoError) {
        std::fprintf(stderr, "ferrow-ftp: cannot read %s: %s\n", source.c_str(),
                     input.errorString().toLocal8Bit().constData());
        return teCommandFailed;
    }

    TListingState state;
    TParseContext context;
    if (Options.Debug)
        context.Trace = [](const std::string &Line) { Trace(Line); };
    context.DroppedName = [](std::string_view Name) {
        std::fprintf(stderr, "%s\n", DroppedNameMessage(Name).c_str());
    };
    TDirListing listing;
    ParseListing(std::string_view(text.constData(), std::size_t(text.size())),
                 ServerTypeParser(Options.ServerType), state, listing, context);
    PrintListing(listing);
    return teSuccess;
}
