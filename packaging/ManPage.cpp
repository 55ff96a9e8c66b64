#include "packaging/ManPage.h"

#include <cctype>
#include <sstream>

namespace {

std::string Upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Paragraphs separated by empty lines become .PP blocks that roff fills.
void AppendParagraphs(std::ostringstream &out, const std::string &Text)
{
    std::istringstream lines(Text);
    std::string line;
    bool startParagraph = true;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            startParagraph = true;
            continue;
        }
        if (startParagraph)
            out << ".PP\n";
        startParagraph = false;
        out << RoffEscaped(line) << '\n';
    }
}

} // namespace

std::string RoffEscaped(const std::string &Text)
{
    std::string result;
    bool lineStart = true;
    for (const char c : Text) {
        if (lineStart && (c == '.' || c == '\''))
            result += "\\&";
        if (c == '\\')
            result += "\\e";
        else if (c == '-')
            result += "\\-";
        else
            result += c;
        lineStart = c == '\n';
    }
    return result;
}

std::string ManPage(const TManPageSource &Source)
{
    std::ostringstream out;
    out << ".TH " << RoffEscaped(Upper(Source.Name)) << " 1 \"\" \"Ferrow " << RoffEscaped(Source.Version)
        << "\" \"User Commands\"\n";
    out << ".SH NAME\n" << RoffEscaped(Source.Name) << " \\- " << RoffEscaped(Source.Summary) << '\n';
    out << ".SH DESCRIPTION\n";
    AppendParagraphs(out, Source.Description);
    out << ".SH USAGE\n.nf\n";
    std::istringstream usage(Source.Usage);
    std::string line;
    while (std::getline(usage, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        out << RoffEscaped(line) << '\n';
    }
    out << ".fi\n";
    if (!Source.Files.empty()) {
        out << ".SH FILES\n";
        AppendParagraphs(out, Source.Files);
    }
    if (!Source.SeeAlso.empty())
        out << ".SH \"SEE ALSO\"\n" << RoffEscaped(Source.SeeAlso) << '\n';
    return out.str();
}
