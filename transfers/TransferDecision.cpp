#include "transfers/TransferDecision.h"

#include "engine/FTPComp.h"
#include "platform/TextCodec.h"

#include <QString>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace {

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// A listed link's own name; the listing carries its target behind " -> ".
std::string_view EntryName(const TListItem &item)
{
    std::string_view name = item.Name;
    if (item.Entry.IsLink()) {
        const auto arrow = name.find(" -> ");
        if (arrow != std::string_view::npos)
            name = name.substr(0, arrow);
    }
    return name;
}

bool IsToAll(int result)
{
    return result == mrYesToAll || result == mrNoToAll;
}

std::optional<std::int64_t> DecideResume(const TTransferSettings &settings, const TTransferSource &source,
                                         std::int64_t existingSize, bool sentAsText, TTransferFlags &flags,
                                         TTransferQuestions &questions)
{
    std::int64_t offset = existingSize;
    bool ask = settings.ConfirmRestarts && !flags.RestartToAll;
    const bool wholeUnlessYes = flags.RestartToAll && !flags.RestartYes;
    if (sentAsText) {
        // A file sent as text changes its line ends on the way, so no local offset is
        // known to match the server's: it travels whole, under either resume setting.
        offset = 0;
        ask = false;
    } else if (wholeUnlessYes) {
        offset = 0;
    }
    if (!ask)
        return offset;

    const int result = questions.AskRestart(source.Name);
    if (result == mrYes)
        return offset;
    if (result == mrCancel)
        return std::nullopt;
    flags.RestartToAll = IsToAll(result);
    if (flags.RestartToAll)
        flags.RestartYes = result == mrYesToAll;
    if (result == mrNo || !flags.RestartYes)
        offset = 0;
    return offset;
}

std::optional<std::int64_t> DecideOverwrite(const TTransferSettings &settings,
                                            const TOverwriteQuestion &question,
                                            TTransferFlags &flags, TTransferQuestions &questions)
{
    if (!settings.ConfirmOverwrites || question.ExistingSize < 1)
        return 0;
    if (flags.OverwriteToAll) {
        if (flags.OverwriteYes)
            return 0;
        return std::nullopt;
    }
    const int result = questions.AskOverwrite(question);
    if (result == mrRetry) {
        // Continuing a file that is not shorter would ask the server for bytes past
        // its end; a window that offered it anyway gets no transfer.
        if (!question.CanRecover())
            return std::nullopt;
        return question.ExistingSize;
    }
    flags.OverwriteToAll = IsToAll(result);
    if (flags.OverwriteToAll)
        flags.OverwriteYes = result == mrYesToAll;
    if (result != mrYes && (result == mrNo || !flags.OverwriteYes))
        return std::nullopt;
    return 0;
}

} // namespace

std::optional<std::int64_t> DecideTransfer(const TTransferSettings &settings,
                                           const TTransferSource &source,
                                           const TDirListing *destination, bool canResume,
                                           TTransferFlags &flags, TTransferQuestions &questions)
{
    const TListItem *existing = destination ? FindDestinationEntry(*destination, source.Name) : nullptr;
    if (!existing)
        return 0;

    const std::int64_t existingSize = existing->Entry.Size;
    const TDateTime existingDate = existing->Entry.Date;
    if (settings.NoTransferOlder && existingSize == source.Size && source.Date <= existingDate)
        return std::nullopt;

    const bool sentAsText = ChooseTransferType(settings, source.Name) == ttASCII;
    // An empty file has nothing to resume: it is replaced without a question.
    if (existingSize > 0 && existingSize < source.Size && settings.TryToResume > 0 && canResume)
        return DecideResume(settings, source, existingSize, sentAsText, flags, questions);

    const TOverwriteQuestion question{source.Name,  existingSize, source.Size,
                                      existingDate, source.Date,  sentAsText};
    return DecideOverwrite(settings, question, flags, questions);
}

const TListItem *FindDestinationEntry(const TDirListing &listing, std::string_view name)
{
    const TListItem *folded = nullptr;
    for (const TListItem &item : listing) {
        const std::string_view entryName = EntryName(item);
        if (entryName == name)
            return &item;
        if (!folded && SameNameIgnoringCase(entryName, name))
            folded = &item;
    }
    return folded;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    if (IsAscii(a) && IsAscii(b)) {
        return a.size() == b.size()
            && std::equal(a.begin(), a.end(), b.begin(),
                          [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
    }
    const auto da = DecodeUtf8(a);
    const auto db = DecodeUtf8(b);
    if (!da || !db)
        return LowerCaseName(a) == LowerCaseName(b);
    return da->compare(*db, Qt::CaseInsensitive) == 0;
}

std::string_view ExtensionOf(std::string_view name)
{
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool HasAsciiExtension(const TTransferSettings &settings, std::string_view name)
{
    const std::string_view extension = ExtensionOf(name);
    if (extension.empty())
        return false;
    return std::any_of(settings.AsciiExtensions.begin(), settings.AsciiExtensions.end(),
                       [extension](const std::string &entry) {
                           return SameNameIgnoringCase(entry, extension);
                       });
}

TTransferType ChooseTransferType(const TTransferSettings &settings, std::string_view name)
{
    switch (settings.TransferMode) {
    case ttAuto:
        return HasAsciiExtension(settings, name) ? ttASCII : ttBinary;
    case ttASCII:
    case ttBinary:
    case ttEBCDIC:
    case ttLocal:
        return TTransferType(settings.TransferMode);
    default:
        return ttBinary;
    }
}

bool DownloadEndedShort(TTransferType type, std::int64_t knownSize, std::int64_t localSize)
{
    return type == ttBinary && knownSize > 0 && localSize < knownSize;
}

std::string LowerCaseName(std::string_view name)
{
    if (!IsAscii(name)) {
        if (const auto decoded = DecodeUtf8(name))
            return decoded->toLower().toStdString();
    }
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
    return lower;
}

bool IsSafeLocalFolder(std::string_view folder)
{
    if (folder.empty() || folder.back() != '/' || folder.find('\0') != std::string_view::npos)
        return false;
    if (folder == "/")
        return true;
    // Every step between the (optional) leading and the trailing separator must be a
    // real name.
    std::string_view rest = folder.substr(0, folder.size() - 1);
    if (rest.front() == '/')
        rest.remove_prefix(1);
    while (true) {
        const auto slash = rest.find('/');
        if (!IsSafeServerName(rest.substr(0, slash)))
            return false;
        if (slash == std::string_view::npos)
            return true;
        rest.remove_prefix(slash + 1);
    }
}

std::optional<TDirListing> ReadLocalFolder(const std::string &folder)
{
    const std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    TDirListing listing;
    std::string path = folder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    const std::size_t base = path.size();
    while (const dirent *entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        path.resize(base);
        path += name;
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0)
            continue;
        TDirEntry record;
        record.Attributes = S_ISDIR(info.st_mode) ? std::uint32_t(faFolder) : 0u;
        record.Size = S_ISDIR(info.st_mode) ? 0 : std::int64_t(info.st_size);
        const qint64 ms = qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
        record.Date = TDateTime::FromDateTime(QDateTime::fromMSecsSinceEpoch(ms));
        listing.push_back(name, record);
    }
    return listing;
}
