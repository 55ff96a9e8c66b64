#pragma once

// Where a transfer's bytes come from or go to: a local file, or memory for a listing.

#include <cstddef>
#include <cstdint>
#include <string>

class TTransferStream
{
public:
    virtual ~TTransferStream() = default;

    virtual std::int64_t Position() const = 0;
    virtual bool Seek(std::int64_t Offset) = 0;
    // Up to Size bytes; 0 at the end, -1 on failure.
    virtual long Read(char *Data, std::size_t Size) = 0;
    virtual bool Write(const char *Data, std::size_t Size) = 0;
    // The data connection is open and the server has agreed to transfer.
    virtual bool BeginTransfer() { return true; }
    // A download's data connection has ended cleanly: write what is still held back.
    virtual bool EndTransfer() { return true; }
    // Why the last call failed, for the Error notification.
    virtual std::string ErrorText() const = 0;
};

// A local file, written straight to the kernel (nothing held back in user space), so
// an interrupted download leaves every byte received on disk for a later restart.
class TFileStream final : public TTransferStream
{
public:
    enum TMode { ForDownload, Rewrite, ReadOnly };
    TFileStream() = default;
    // Also removes a file Open made for a transfer that never began.
    ~TFileStream() override;
    TFileStream(const TFileStream &) = delete;
    TFileStream &operator=(const TFileStream &) = delete;

    // ForDownload: a file made when missing; Rewrite: an existing file, for writing at
    // an offset; ReadOnly: for an upload. Only regular files qualify, and a download
    // never writes through a link in the last component of its path. False with
    // ErrorText() set on failure.
    bool Open(const std::string &Path, TMode Mode);
    // BeginTransfer then drops everything past Size (a download replaces what follows
    // its offset), so a download the server refuses leaves the file as it was.
    void TruncateWhenBegun(std::int64_t Size) { FTruncateAt = Size; }
    bool BeginTransfer() override;
    std::int64_t Position() const override { return FPosition; }
    bool Seek(std::int64_t Offset) override;
    long Read(char *Data, std::size_t Size) override;
    bool Write(const char *Data, std::size_t Size) override;
    std::string ErrorText() const override { return FError; }

private:
    void SetError(int Errno);
    void RemoveIfUnused();
    bool TruncateTo(std::int64_t Size);

    int FFd = -1;
    std::string FPath;
    bool FCreated = false;
    bool FBegun = false;
    std::int64_t FPosition = 0;
    std::int64_t FTruncateAt = -1;
    std::string FError;
};

// A listing in memory, capped so that an endless listing cannot exhaust memory.
class TMemoryStream final : public TTransferStream
{
public:
    static constexpr std::size_t MaxSize = 256u * 1024 * 1024;

    const std::string &Data() const { return FData; }

    std::int64_t Position() const override { return std::int64_t(FPosition); }
    bool Seek(std::int64_t Offset) override;
    long Read(char *Data, std::size_t Size) override;
    bool Write(const char *Data, std::size_t Size) override;
    std::string ErrorText() const override { return FError; }

private:
    std::string FData;
    std::size_t FPosition = 0;
    std::string FError;
};

// Line ends between the network form of a text file (CR LF) and the local one (LF).
// A CR that ends one block is held until the next shows whether an LF follows.
class TTextToLocal
{
public:
    // Appends Data's local form to Out.
    void Convert(const char *Data, std::size_t Size, std::string &Out);
    // The end of the text: a CR still held is a lone one.
    void Finish(std::string &Out);

private:
    bool FHeldCR = false;
};

// Appends Data with each LF sent as CR LF; a lone CR goes as it is.
void AppendNetworkText(const char *Data, std::size_t Size, std::string &Out);

// A text transfer (TYPE A) of a local file: the file holds LF line ends, the data
// connection carries CR LF. Position() counts the file's bytes, which is what a
// listing's size and a progress figure compare with. A text transfer always starts at
// the beginning, since no offset in the file matches one on the server for sure.
class TTextStream final : public TTransferStream
{
public:
    explicit TTextStream(TTransferStream &File)
        : FFile(File)
    {}

    std::int64_t Position() const override { return FFile.Position(); }
    bool Seek(std::int64_t Offset) override;
    long Read(char *Data, std::size_t Size) override;
    bool Write(const char *Data, std::size_t Size) override;
    bool BeginTransfer() override { return FFile.BeginTransfer(); }
    bool EndTransfer() override;
    std::string ErrorText() const override { return FError.empty() ? FFile.ErrorText() : FError; }

private:
    TTransferStream &FFile;
    TTextToLocal FToLocal;
    std::string FBuffer;
    std::string FNetwork;
    std::string FError;
};
